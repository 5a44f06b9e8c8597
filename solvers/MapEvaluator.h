#pragma once
// A non-owning reference to "evaluate F(u, v) into x, y, z": the compiled MapFunctions in the
// program, plain C++ maps in the tests. Two words, no allocation, one indirect call.

#include <type_traits>
#include <utility>

namespace tandor {

class MapEvaluator {
public:
  MapEvaluator() = default;

  template <class F>
  requires(!std::is_same_v<std::remove_cvref_t<F>, MapEvaluator>)
      MapEvaluator(F &f) // NOLINT: implicit on purpose, it is a reference
      : Context(static_cast<void *>(&f)),
        Call([](void *c, double &x, double &y, double &z, double u, double v) {
          (*static_cast<F *>(c))(x, y, z, u, v);
        }) {}

  void operator()(double &x, double &y, double &z, double u, double v) const {
    Call(Context, x, y, z, u, v);
  }
  explicit operator bool() const { return Call != nullptr; }

private:
  void *Context = nullptr;
  void (*Call)(void *, double &, double &, double &, double, double) = nullptr;
};

} // namespace tandor
