/* The demo Nimbic plug-in module: a real Windows DLL with the entry point the host looks for.
   It answers every command with "no error" and does nothing else; a vendor build embeds the
   real module through NIMBIC_PLUGIN_MODULE instead. */
#include <windows.h>

#define NIMBIC_DEMO_VERSION 0x00010000

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved)
{
    (void)instance;
    (void)reason;
    (void)reserved;
    return TRUE;
}

/* The host calls this with a command number and its parameter blocks. */
__declspec(dllexport) int EffectMain(int command, void* in_data, void* out_data, void* params,
                                     void* output, void* extra)
{
    (void)command;
    (void)in_data;
    (void)out_data;
    (void)params;
    (void)output;
    (void)extra;
    return 0;
}

/* Lets support tools tell the demo module from a vendor's. */
__declspec(dllexport) unsigned int NimbicDemoVersion(void)
{
    return NIMBIC_DEMO_VERSION;
}
