// Linked straight into a program (never through a library, where the linker would not look for it
// in time), this definition takes the place of libstdc++'s default terminate handler: an
// exception nobody catches ends the process at once, like any other broken invariant. The
// default one would write to a console the program does not have and call abort(), and it links
// the demangler and a printf (about 67 KB) to name the exception's type.
#include <exception>

#include "platform/basics/fail_fast_win.h"

namespace __gnu_cxx {

void __verbose_terminate_handler() { koravane::fail_fast(); }

}  // namespace __gnu_cxx
