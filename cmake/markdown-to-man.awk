# Turns the Markdown of docs/settingsctl.md into a manual page (roff -man).
# It knows the little that file uses: "# name(section)" as the title, "##"
# and "###" headings, paragraphs, "- " lists, fenced code blocks, tables,
# `code`, **bold** and [links](...).
#   awk -v version=1.0.0 -f markdown-to-man.awk docs/settingsctl.md > settingsctl.1

function escape(text) {
  gsub(/\\/, "\\e", text)
  return text
}

# Inline markup, after escaping: `code` bold with real minus signs,
# **bold**, [text](link) as its text.
function inline(text,    out, code) {
  text = escape(text)
  out = ""
  while (match(text, /`[^`]*`/)) {
    code = substr(text, RSTART + 1, RLENGTH - 2)
    gsub(/-/, "\\-", code)
    out = out substr(text, 1, RSTART - 1) "\\fB" code "\\fR"
    text = substr(text, RSTART + RLENGTH)
  }
  text = out text
  while (match(text, /\*\*[^*]*\*\*/)) {
    text = substr(text, 1, RSTART - 1) "\\fB" substr(text, RSTART + 2, RLENGTH - 4) "\\fR" \
           substr(text, RSTART + RLENGTH)
  }
  while (match(text, /\[[^]]*\]\([^)]*\)/)) {
    link = substr(text, RSTART, RLENGTH)
    sub(/\]\(.*$/, "", link)
    text = substr(text, 1, RSTART - 1) substr(link, 2) substr(text, RSTART + RLENGTH)
  }
  return text
}

# A line of roff text may not begin with a dot or an apostrophe.
function line(text) {
  if (text ~ /^[.']/) {
    text = "\\&" text
  }
  print text
}

function cell(row, n,    cells, count) {
  count = split(row, cells, "|")
  gsub(/^ +| +$/, "", cells[n + 1])
  return cells[n + 1]
}

BEGIN { fenced = 0; paragraph = 1 }

fenced && /^```/ { print ".fi"; print ".RE"; fenced = 0; paragraph = 1; next }
fenced { code = escape($0); gsub(/-/, "\\-", code); line(code); next }
/^```/ { print ".PP"; print ".RS 4"; print ".nf"; fenced = 1; next }

/^# / {
  title = substr($0, 3)
  name = title; sub(/\(.*$/, "", name)
  section = title; sub(/^[^(]*\(/, "", section); sub(/\).*$/, "", section)
  printf ".TH %s %s \"\" \"settingsstore %s\" \"User Commands\"\n", toupper(name), section, version
  next
}
/^## / { print ".SH " toupper(substr($0, 4)); paragraph = 0; next }
/^### / { print ".SS " inline(substr($0, 5)); paragraph = 0; next }
/^\|[ -:|]*$/ && /---/ { next }
/^\|/ {
  if (!table) { table = 1; next }  # the header row
  print ".TP"
  print "\\fB" inline(cell($0, 1)) "\\fR"
  line(inline(cell($0, 2)))
  next
}
/^- / { print ".IP \\(bu 2"; line(inline(substr($0, 3))); paragraph = 0; next }
/^  +[^ ]/ && !paragraph { sub(/^ +/, ""); line(inline($0)); next }
/^$/ { paragraph = 1; table = 0; next }
{
  if (paragraph) { print ".PP"; paragraph = 0 }
  line(inline($0))
}
