#pragma once

// The conduit library as an in-process COM server: its class, its
// registration keys and its class factory.

#include "com/Guid.h"

#include <string>

namespace conduit {

constexpr com::CLSID CLSID_KLXGVClientNotify = com::guid("{3F8E5B8F-E4A8-4DB3-8954-EFC40F888F1A}");
inline constexpr const char *ClassName = "KLXGVClientNotify";
inline constexpr const char *ClassDescription = "KLX Gearvane Conduit";

// The full path of the loaded library file, found at run time (the library
// may have been copied or renamed).
std::string libraryPath();
// The library's file name without extension, ".", and the class name:
// "Tarnlink.KLXGVClientNotify" for "Tarnlink.so".
std::string progIdForLibrary(const std::string &path);

} // namespace conduit
