#pragma once

// Embeds the version information of a program or shared library as an ELF
// note, read back by gvutils::readVersionNote (and TclsUtils::FileVersionInfo).
//
// Layout: a note in section ".note.gearvane.version" (type SHT_NOTE,
// allocated), owner "Gearvane", note type 1. Its descriptor holds, in the
// file's byte order, the four 16-bit parts of the file version (major,
// minor, release, build), the four of the product version, then key=value
// texts, each ended by a zero byte, and a final zero byte:
//   FileDescription=..., CompanyName=..., ProductName=...
//
// Place the macro once, at namespace scope, in one .cpp file of the program
// or shared library (not in a static library, whose note would end up in
// every binary that links it):
//   GV_VERSION_INFO(2, 5, 0, 0, 1, 0, 0, 0, "Conduit for Gearvane", "Brenholt", "Gearvane")
// The texts must be plain string literals without double quotes or
// backslashes in them.

#define GV_VERSION_NOTE_STR_(x) #x
#define GV_VERSION_NOTE_STR(x) GV_VERSION_NOTE_STR_(x)

#define GV_VERSION_INFO(fmaj, fmin, frel, fbld, pmaj, pmin, prel, pbld, description, company, product)                                        \
    __asm__(                                                                                                                                  \
        ".pushsection .note.gearvane.version,\"a\",%note\n"                                                                                   \
        ".balign 4\n"                                                                                                                         \
        ".long 9\n"                                                                                                                           \
        ".long 8762f - 8761f\n"                                                                                                               \
        ".long 1\n"                                                                                                                           \
        ".asciz \"Gearvane\"\n"                                                                                                               \
        ".balign 4\n"                                                                                                                         \
        "8761:\n"                                                                                                                             \
        ".short " GV_VERSION_NOTE_STR(fmaj) ", " GV_VERSION_NOTE_STR(fmin) ", " GV_VERSION_NOTE_STR(                                          \
            frel) ", " GV_VERSION_NOTE_STR(fbld) "\n"                                                                                         \
                                                 ".short " GV_VERSION_NOTE_STR(pmaj) ", " GV_VERSION_NOTE_STR(pmin) ", " GV_VERSION_NOTE_STR( \
                                                     prel) ", " GV_VERSION_NOTE_STR(pbld) "\n"                                                \
                                                                                          ".asciz "                                           \
                                                                                          "\"FileDescription"                                 \
                                                                                          "=" description "\"\n"                              \
                                                                                          ".asciz "                                           \
                                                                                          "\"CompanyName=" company                            \
                                                                                          "\"\n"                                              \
                                                                                          ".asciz "                                           \
                                                                                          "\"ProductName=" product                            \
                                                                                          "\"\n"                                              \
                                                                                          ".byte 0\n"                                         \
                                                                                          "8762:\n"                                           \
                                                                                          ".balign 4\n"                                       \
                                                                                          ".popsection\n")
