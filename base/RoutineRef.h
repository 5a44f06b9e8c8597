#pragma once
// RoutineRef: a non-owning reference to a callable, the one way the layers hand each other a
// routine to call back (F as a whole, one coordinate function, the linear case's residual).
// Two words, one indirect call, no allocation; the callable must outlive the reference.

#include <type_traits>
#include <utility>

namespace tandor {

template <class Signature> class RoutineRef;

template <class R, class... Args> class RoutineRef<R(Args...)> {
public:
  using Thunk = R (*)(void *, Args...);

  RoutineRef() = default;
  // For a routine that is not simply called: thunk receives context and does what it must.
  RoutineRef(void *context, Thunk call) : Context(context), Call(call) {}
  template <class F>
  requires(!std::is_same_v<std::remove_cvref_t<F>, RoutineRef> &&
           std::is_invocable_r_v<R, F &, Args...>)
      RoutineRef(F &f) // NOLINT: implicit on purpose, it is a reference
      : Context(static_cast<void *>(&f)), Call([](void *c, Args... args) -> R {
          return (*static_cast<F *>(c))(std::forward<Args>(args)...);
        }) {}

  R operator()(Args... args) const { return Call(Context, std::forward<Args>(args)...); }
  explicit operator bool() const { return Call != nullptr; }

private:
  void *Context = nullptr;
  Thunk Call = nullptr;
};

} // namespace tandor
