// The archive library for programs that embed it, in namespace zorellz:
//   TZorelLZObj, the component through which a program uses the library
//   (settings as properties, one call per operation, reports as events);
//   the engine's routine interface (LZ... routines and TLZContext);
//   the on-disk and report records (TLZArchiveHeader, TLZReportRec ...) and
//   the result codes (>= 0 a count or size, < 0 an error, kLZ...);
//   ResultText for the words of a result, the library's exceptions, and
//   ZORELLZ_VERSION with zorellz::Version().
// Link zorellz::archive (CMake) or `pkg-config --libs zorellz`; C++20.
#pragma once

#include "zorellz/codec/ZrlErrors.h"
#include "zorellz/component/PropertyStream.h"
#include "zorellz/component/ZRLLZSS.h"
#include "zorellz/engine/LZContext.h"
#include "zorellz/engine/ResultText.h"
#include "zorellz/engine/ZorelLZ.h"
#include "zorellz/engine/ZrlTypes.h"
#include "zorellz/platform/InOutError.h"
#include "zorellz/platform/MessageBox.h"
#include "zorellz/platform/Version.h"
