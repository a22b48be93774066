// Runs a function under a structured-exception frame of its own, so that an
// access violation or any other system exception raised inside it ends the
// function instead of the host process.
#pragma once

namespace idf::win {

// Calls fn(context). Returns 0 when it returned normally, or the code of
// the structured exception that ended it. After an exception the frames
// between this call and the fault have been unwound by the system (their
// exception handlers ran), but no C++ destructor of those frames ran: what
// they owned is abandoned. fn must not let a C++ exception escape.
unsigned long run_guarded(void (*fn)(void*), void* context);

}  // namespace idf::win
