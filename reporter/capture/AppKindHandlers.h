// The framework's central exception handler, replaced so that an exception
// reaching it is reported (once) instead of shown the framework's way. Only
// the GUI framework of the class library exists in this system.
#pragma once

// Looks the handler up by its qualified name in this module's debug data and
// hooks it; an entry point that is not found stays unhooked. Raises the
// hooking layer's exception when a found entry cannot be hooked.
void InstallAppKindHandlers();
void RemoveAppKindHandlers();
bool GUIHandlerInstalled();
