// The library's entry points. Loading sets nothing up and unloading tears
// nothing down: every piece of process-wide state is static data that starts
// in its initial form (an empty profile cache, an empty look-ahead slot, no
// resource module) and is never released.
#include "platform/platform.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  (void)instance;
  (void)reason;
  (void)reserved;
  return TRUE;
}

// Self-registration: the library keeps nothing in the registry, so there is
// nothing to register or unregister. Both names share this one body.
extern "C" SETTINGSSTORE_EXPORT HRESULT STDAPICALLTYPE DllRegisterServer(void) {
  return S_OK;
}

extern "C" SETTINGSSTORE_EXPORT HRESULT STDAPICALLTYPE DllUnregisterServer(void)
    __attribute__((alias("DllRegisterServer")));
