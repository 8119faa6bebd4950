#include "com/HResult.h"

#include <cstdio>

namespace com {

std::string hresultText(HRESULT hr)
{
    switch (hr) {
    case S_OK: return "The operation completed successfully";
    case S_FALSE: return "The operation completed with a false result";
    case E_NOTIMPL: return "Not implemented";
    case E_NOINTERFACE: return "No such interface supported";
    case E_POINTER: return "Invalid pointer";
    case E_ABORT: return "Operation aborted";
    case E_FAIL: return "Unspecified error";
    case E_UNEXPECTED: return "Catastrophic failure";
    case E_ACCESSDENIED: return "Access is denied";
    case E_OUTOFMEMORY: return "Not enough storage is available to complete this operation";
    case E_INVALIDARG: return "The parameter is incorrect";
    case CLASS_E_NOAGGREGATION: return "Class does not support aggregation (or class object is remote)";
    case CLASS_E_CLASSNOTAVAILABLE: return "ClassFactory cannot supply requested class";
    case REGDB_E_CLASSNOTREG: return "Class not registered";
    case CO_E_DLLNOTFOUND: return "DLL for class not found";
    case CO_E_ERRORINDLL: return "Error in the DLL";
    case SELFREG_E_CLASS: return "Error registering the class";
    default: break;
    }
    char buf[32];
    std::snprintf(buf, sizeof buf, "OLE error %08X", static_cast<unsigned>(hr));
    return buf;
}

} // namespace com
