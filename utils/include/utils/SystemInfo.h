#pragma once

#include <optional>
#include <string>

// Information about the machine and the running program. Every query gives
// a neutral value ("", 0, "UNKNOWN") instead of failing.
namespace gvutils {

// Major "." minor of the running kernel's release ("6.1" for "6.1.0-13-amd64").
std::string osVersionText();
// A "major.minor" text read as a number whatever the locale; 0 when it is not one.
double versionNumber(const std::string &text);
// The distribution's version from an os-release file (VERSION, else
// VERSION_ID), blank-trimmed and cut to 128 characters; empty without one.
std::string osUpdateText(const std::string &osReleaseFile = "/etc/os-release");

// The "COMPUTERNAME" environment variable (at most 256 characters). For a
// file name, the characters blank * , . / : ; ? \ | are dropped and the
// result is cut to 8 characters. Empty or blank results give "UNKNOWN".
std::string computerName(bool forFileName);

// The running program's folder (without a trailing "/"), empty when unknown.
std::string programDirectory();
// The first command-line parameter of the running program, if any.
std::optional<std::string> firstProgramParameter();

} // namespace gvutils
