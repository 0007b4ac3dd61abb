#pragma once

namespace Mrv {

// A value of this library that modules may reach from their own destructors at process exit, which
// can run after this library's statics are gone: get() is then null, and the caller does nothing.
template <typename T>
class ExitSafeStatic {
public:
    static T* get()
    {
        if (Holder::destroyed)
            return nullptr;
        static Holder holder;
        return &holder.value;
    }

private:
    struct Holder {
        T value;
        static inline bool destroyed = false;
        ~Holder() { destroyed = true; }
    };
};

} // namespace Mrv
