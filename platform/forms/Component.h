#pragma once
// The class library's object model: TObject, TPersistent, TComponent with its owner
// tree and component state, and TEvent, the method pointer that components raise
// their events through.

#include <QString>

#include <atomic>
#include <cstdint>
#include <cstring>
#include <functional>
#include <type_traits>
#include <utility>
#include <vector>

namespace forms {

class TObject {
public:
    virtual ~TObject() = default;
};

// Base of the sub-objects that components publish (settings groups and the like).
class TPersistent : public TObject {};

// Component state bits.
enum TComponentStateFlag : unsigned {
    csLoading = 0x01,   // being read from its form's stored description
    csDesigning = 0x02, // placed in a designer: setters store values but touch no device
    csDestroying = 0x04,
};
using TComponentState = unsigned;

// A component frees the components it owns when it is destroyed (last inserted first).
// A component destroyed on its own leaves its owner's list.
class TComponent : public TPersistent {
public:
    explicit TComponent(TComponent *AOwner);
    ~TComponent() override;
    TComponent(const TComponent &) = delete;
    TComponent &operator=(const TComponent &) = delete;

    TComponent *Owner() const { return owner_; }
    int ComponentCount() const { return int(components_.size()); }
    TComponent *Components(int index) const { return components_.at(size_t(index)); }

    QString Name() const { return name_; }
    void SetName(const QString &name) { name_ = name; }

    TComponentState ComponentState() const { return state_; }
    // Form loading and tests set these; they apply to this component only.
    void SetDesigning(bool on);
    void SetLoading(bool on);

    // Called once the stored description has been read; clears csLoading.
    // Overrides call the inherited Loaded first.
    virtual void Loaded();

private:
    TComponent *owner_ = nullptr;
    std::vector<TComponent *> components_;
    QString name_;
    TComponentState state_ = 0;
};

// A method pointer: a handler with an identity, so that a setter can tell whether it
// is given the handler it already has. A handler bound to an object's method equals
// any other binding of that method to that object; a handler made from a callable
// equals its own copies only. A default TEvent (or nullptr) is "unassigned".
template <typename... Args> class TEvent {
public:
    TEvent() = default;
    TEvent(std::nullptr_t) {}

    template <typename F, typename = std::enable_if_t<!std::is_same_v<std::decay_t<F>, TEvent> &&
                                                      !std::is_same_v<std::decay_t<F>, std::nullptr_t> &&
                                                      std::is_invocable_v<F &, Args...>>>
    TEvent(F f) : fn_(std::move(f)) {
        key_.tag = nextTag();
    }

    template <typename C, typename R> TEvent(C *object, R (C::*method)(Args...)) {
        static_assert(sizeof(method) <= sizeof(key_.code), "method pointer too large");
        fn_ = [object, method](Args... a) { (object->*method)(std::forward<Args>(a)...); };
        key_.object = object;
        std::memcpy(key_.code, &method, sizeof(method));
    }

    explicit operator bool() const { return bool(fn_); }
    void operator()(Args... a) const { fn_(std::forward<Args>(a)...); }

    bool operator==(const TEvent &o) const {
        return key_.object == o.key_.object && key_.tag == o.key_.tag &&
               std::memcmp(key_.code, o.key_.code, sizeof key_.code) == 0;
    }
    bool operator!=(const TEvent &o) const { return !(*this == o); }

private:
    static std::uint64_t nextTag() {
        static std::atomic<std::uint64_t> last{0};
        return ++last;
    }

    struct Key {
        const void *object = nullptr;
        std::uint64_t tag = 0;
        unsigned char code[2 * sizeof(void *)] = {};
    };
    std::function<void(Args...)> fn_;
    Key key_;
};

template <typename C, typename R, typename... Args> TEvent<Args...> Bind(C *object, R (C::*method)(Args...)) {
    return TEvent<Args...>(object, method);
}

using TNotifyEvent = TEvent<TObject *>;

} // namespace forms
