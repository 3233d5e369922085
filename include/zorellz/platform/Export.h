// What a shared build of the library exports: the declarations that the
// public headers place between ZORELLZ_API_BEGIN and ZORELLZ_API_END.  The
// layers are compiled with hidden visibility, so everything else stays
// inside its library.  Static libraries and Windows builds ignore the marks.
#pragma once

#if defined(__GNUC__) && !defined(_WIN32)
#define ZORELLZ_API_BEGIN _Pragma("GCC visibility push(default)")
#define ZORELLZ_API_END _Pragma("GCC visibility pop")
#else
#define ZORELLZ_API_BEGIN
#define ZORELLZ_API_END
#endif
