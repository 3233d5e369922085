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

#include "archive/codec/ZrlErrors.h"
#include "archive/component/PropertyStream.h"
#include "archive/component/ZRLLZSS.h"
#include "archive/engine/LZContext.h"
#include "archive/engine/ResultText.h"
#include "archive/engine/ZorelLZ.h"
#include "archive/engine/ZrlTypes.h"
#include "platform/InOutError.h"
#include "platform/MessageBox.h"
#include "zorellz/platform/Version.h"
