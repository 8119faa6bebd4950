#pragma once

// The package's classes are exported from the shared library; everything
// else in it stays hidden.
#define DRAVIK_EXPORT __attribute__((visibility("default")))
