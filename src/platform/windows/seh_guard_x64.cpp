// The x64 form of structured exception handling: no handler list on the
// stack, but a scope table in the image's unwind data. run_guarded's frame
// names the system's C scope handler, with one scope around the call of fn
// whose filter is fault_filter. For an error-class exception the scope
// handler unwinds the frames above (their handlers run) and resumes after
// the scope, as an __except block would.
#include <windows.h>

#include "platform/windows/seh_guard.hpp"

namespace idf::win {

namespace {

// The code of the exception that ended the guarded call on this thread.
thread_local unsigned long fault_code = 0;

// Called by the scope handler as filter(exception, establisher frame).
extern "C" LONG fault_filter(EXCEPTION_POINTERS* exception, void*) {
    const DWORD code = exception->ExceptionRecord->ExceptionCode;
    // Informational and warning codes (debug output, thread naming), and the
    // exceptions C++ uses to unwind, belong to whoever raised them.
    if ((code & 0xC0000000UL) != 0xC0000000UL) return EXCEPTION_CONTINUE_SEARCH;
    fault_code = code;
    return EXCEPTION_EXECUTE_HANDLER;
}

}  // namespace

// No object with a destructor here: the compiler must not give this frame
// a handler of its own.
__attribute__((noinline)) unsigned long run_guarded(void (*fn)(void*), void* context) {
    fault_code = 0;
    asm volatile(
        ".l_idf_guard_begin:\n\t"
        ".seh_handler __C_specific_handler, @except\n\t"
        ".seh_handlerdata\n\t"
        ".long 1\n\t"
        ".rva .l_idf_guard_begin, .l_idf_guard_end, fault_filter, .l_idf_guard_end\n\t"
        ".text" ::
            : "memory");
    fn(context);
    // The scope ends after the call's return address; an exception resumes
    // at its end, with the frame as it was at the call.
    asm volatile(
        "nop\n"
        ".l_idf_guard_end:\n\t"
        "nop" ::
            : "memory");
    const unsigned long code = fault_code;
    fault_code = 0;
    return code;
}

}  // namespace idf::win
