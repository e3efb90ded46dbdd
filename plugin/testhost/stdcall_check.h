// Calls into the plug-in as a 32-bit host does, watching the stack pointer.
// A stdcall callee pops its own arguments: a callback that pops other than
// the bytes the host pushed (another argument list, or a lost WINAPI) leaves
// the mail client's stack pointer off, which on x86_64 nothing shows. So on
// i686 every call measures where the callee left the stack, and the host
// stops at once, with a report line, when it is off.
#pragma once

#include <windows.h>

#include <cstdint>
#include <type_traits>

namespace fromsel::testhost {

// Exit code of a host that met a callee popping the wrong argument bytes.
inline constexpr int kExitStackFault = 3;

#if defined(__i386__)
// Calls the stdcall `function` with `count` 32-bit `words` pushed last
// first; `imbalance` receives where the callee left the stack pointer
// relative to the caller's before the pushes (0: it popped exactly them).
// i686 only.
std::uint32_t CallStdcallMeasured(const void* function, const std::uint32_t* words, int count,
                                  int& imbalance);

// Reports `name` popping `imbalance` + `pushed` bytes and ends the process.
[[noreturn]] void StopOnStackFault(const char* name, int pushed, int imbalance);
#endif

template <typename Function>
class StdcallEntry;

// One entry point of the plug-in, found by `name`, called as the mail client
// calls it.
template <typename Result, typename... Args>
class StdcallEntry<Result(WINAPI*)(Args...)> {
 public:
  using Pointer = Result(WINAPI*)(Args...);

  explicit StdcallEntry(const char* name) : name_(name) {}
  const char* Name() const { return name_; }
  void Set(Pointer pointer) { pointer_ = pointer; }
  explicit operator bool() const { return pointer_ != nullptr; }

  Result operator()(Args... args) const {
#if defined(__i386__)
    static_assert(sizeof(Result) <= 4 && (... && (sizeof(Args) == 4)),
                  "callbacks take and return 32-bit words");
    const std::uint32_t words[] = {Word(args)..., 0};
    int imbalance = 0;
    const std::uint32_t result = CallStdcallMeasured(reinterpret_cast<const void*>(pointer_),
                                                     words, sizeof...(Args), imbalance);
    if (imbalance != 0) StopOnStackFault(name_, 4 * sizeof...(Args), imbalance);
    return static_cast<Result>(result);
#else
    return pointer_(args...);
#endif
  }

 private:
  template <typename T>
  static std::uint32_t Word(T value) {
    if constexpr (std::is_pointer_v<T>) {
      return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(value));
    } else {
      return static_cast<std::uint32_t>(value);
    }
  }

  const char* name_;
  Pointer pointer_ = nullptr;
};

}  // namespace fromsel::testhost
