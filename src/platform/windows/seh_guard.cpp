// The 32-bit x86 form of structured exception handling: a registration
// record on the stack, linked at the head of the thread's handler list
// (fs:[0]). The handler unwinds the frames above it with RtlUnwind and
// resumes at the point saved when the record was linked.
#include "platform/windows/seh_guard.hpp"

#include <windows.h>

namespace idf::win {

namespace {

struct Registration {
    Registration* next;
    void* handler;
    // __builtin_setjmp buffer: frame pointer, resume address, stack pointer.
    void* resume[5];
    unsigned long code;
};

// The head of the thread's handler list, fs:[0].
Registration* head() {
    Registration* record;
    asm volatile("movl %%fs:0, %0" : "=r"(record));
    return record;
}

void set_head(Registration* record) { asm volatile("movl %0, %%fs:0" : : "r"(record) : "memory"); }

// RtlUnwind does not keep ebx, esi and edi; this wrapper does.
__attribute__((noinline)) void unwind_to(Registration* frame, EXCEPTION_RECORD* record) {
    asm volatile(
        "pushl %%ebx\n\t"
        "pushl %%esi\n\t"
        "pushl %%edi\n\t"
        "pushl $0\n\t"
        "pushl %1\n\t"
        "pushl $0\n\t"
        "pushl %0\n\t"
        "call _RtlUnwind@16\n\t"
        "popl %%edi\n\t"
        "popl %%esi\n\t"
        "popl %%ebx\n\t"
        :
        : "r"(frame), "r"(record)
        : "eax", "ecx", "edx", "memory", "cc");
}

extern "C" EXCEPTION_DISPOSITION __cdecl guard_handler(EXCEPTION_RECORD* record, void* establisher, CONTEXT*, void*) {
    // Unwinding passes are not ours to stop.
    if (record->ExceptionFlags & (EXCEPTION_UNWINDING | EXCEPTION_EXIT_UNWIND)) return ExceptionContinueSearch;
    // Informational and warning codes (debug output, thread naming) are
    // continued by whoever raised them.
    if ((record->ExceptionCode & 0xC0000000UL) != 0xC0000000UL) return ExceptionContinueSearch;
    auto* frame = static_cast<Registration*>(establisher);
    frame->code = record->ExceptionCode;
    unwind_to(frame, record);
    __builtin_longjmp(frame->resume, 1);
}

}  // namespace

unsigned long run_guarded(void (*fn)(void*), void* context) {
    volatile Registration frame{};
    auto* record = const_cast<Registration*>(&frame);
    record->next = head();
    record->handler = reinterpret_cast<void*>(&guard_handler);
    record->code = 0;
    if (__builtin_setjmp(record->resume) == 0) {
        set_head(record);
        fn(context);
        set_head(record->next);
        return 0;
    }
    // Back from the handler: the system has unwound the frames above.
    auto* resumed = const_cast<Registration*>(&frame);
    set_head(resumed->next);
    return resumed->code ? resumed->code : 1;
}

}  // namespace idf::win
