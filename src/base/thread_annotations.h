// Clang's thread-safety analysis (-Wthread-safety): which mutex guards which member, and
// which functions take, let go of or need it, checked at compile time. Other compilers
// read the annotations as nothing.
#pragma once

#if defined(__clang__)
#define LEXORA_THREAD_ANNOTATION(x) __attribute__((x))
#else
#define LEXORA_THREAD_ANNOTATION(x)
#endif

// A type that is a lock (Mutex), and one that holds a lock for its scope (MutexLock).
#define CAPABILITY(name) LEXORA_THREAD_ANNOTATION(capability(name))
#define SCOPED_CAPABILITY LEXORA_THREAD_ANNOTATION(scoped_lockable)
// A member read or written only while the mutex is held.
#define GUARDED_BY(mutex) LEXORA_THREAD_ANNOTATION(guarded_by(mutex))
// What a pointer member points to is read or written only while the mutex is held.
#define PT_GUARDED_BY(mutex) LEXORA_THREAD_ANNOTATION(pt_guarded_by(mutex))
// A function called only while the mutex is held (it may let go and take it again).
#define REQUIRES(...) LEXORA_THREAD_ANNOTATION(requires_capability(__VA_ARGS__))
// A function that takes the mutex itself, so it must not be held when it is called.
#define EXCLUDES(...) LEXORA_THREAD_ANNOTATION(locks_excluded(__VA_ARGS__))
// A function that returns holding the mutex, or that lets go of it.
#define ACQUIRE(...) LEXORA_THREAD_ANNOTATION(acquire_capability(__VA_ARGS__))
#define RELEASE(...) LEXORA_THREAD_ANNOTATION(release_capability(__VA_ARGS__))
#define TRY_ACQUIRE(...) LEXORA_THREAD_ANNOTATION(try_acquire_capability(__VA_ARGS__))
// A function that holds the mutex when it returns normally (a check, not a lock).
#define ASSERT_CAPABILITY(mutex) LEXORA_THREAD_ANNOTATION(assert_capability(mutex))
// For the rare function whose locking the analysis cannot follow; say why beside it.
#define NO_THREAD_SAFETY_ANALYSIS LEXORA_THREAD_ANNOTATION(no_thread_safety_analysis)
