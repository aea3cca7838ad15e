#pragma once

// The one place the version is written; the VERSIONINFO resource and CMake read it from here.
#define QUESTFIX_VERSION_MAJOR 1
#define QUESTFIX_VERSION_MINOR 0
#define QUESTFIX_VERSION_PATCH 0
#define QUESTFIX_VERSION_TEXT "1.0.0"
