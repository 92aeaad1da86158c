#include "Component.h"

#include <algorithm>

namespace forms {

TComponent::TComponent(TComponent *AOwner) : owner_(AOwner) {
    if (owner_) owner_->components_.push_back(this);
}

TComponent::~TComponent() {
    state_ |= csDestroying;
    while (!components_.empty()) {
        TComponent *child = components_.back();
        components_.pop_back();
        child->owner_ = nullptr;
        delete child;
    }
    if (owner_) {
        auto &list = owner_->components_;
        list.erase(std::remove(list.begin(), list.end(), this), list.end());
    }
}

void TComponent::SetDesigning(bool on) { state_ = on ? (state_ | csDesigning) : (state_ & ~unsigned(csDesigning)); }

void TComponent::SetLoading(bool on) { state_ = on ? (state_ | csLoading) : (state_ & ~unsigned(csLoading)); }

void TComponent::Loaded() { state_ &= ~unsigned(csLoading); }

} // namespace forms
