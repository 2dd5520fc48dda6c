#pragma once

#include <cstring>
#include <typeinfo>

namespace tess {

// A method bound to an object, like a Delphi "of object" event. Two events are equal when both
// the object and the method are the same, so a listener can be removed by naming it again.
template <typename... Args>
class TMethodEvent {
 public:
  template <typename T>
  TMethodEvent(T* object, void (T::*method)(Args...)) noexcept
      : FObject(object), FType(&typeid(T)), FInvoke(&invokeAs<T>) {
    static_assert(sizeof(method) <= sizeof(FMethod));
    std::memcpy(FMethod, &method, sizeof(method));
  }

  void operator()(Args... args) const { FInvoke(*this, args...); }

  bool operator==(const TMethodEvent& other) const noexcept {
    return FObject == other.FObject && *FType == *other.FType &&
           std::memcmp(FMethod, other.FMethod, sizeof(FMethod)) == 0;
  }

 private:
  struct Probe {
    void method(Args...);
  };

  template <typename T>
  static void invokeAs(const TMethodEvent& self, Args... args) {
    void (T::*method)(Args...);
    std::memcpy(&method, self.FMethod, sizeof(method));
    (static_cast<T*>(self.FObject)->*method)(args...);
  }

  void* FObject;
  const std::type_info* FType;
  void (*FInvoke)(const TMethodEvent&, Args...);
  alignas(void*) unsigned char FMethod[2 * sizeof(void(Probe::*)(Args...))] = {};
};

}  // namespace tess
