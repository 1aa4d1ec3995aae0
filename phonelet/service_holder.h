// The base of the agent's readers and writers of the phone's services: each
// holds handles that only it may release, so none is copied. A derived class
// releases them in its own destructor (by then the base cannot reach them).
#pragma once

namespace quillet {

class ServiceHolder {
  public:
    ServiceHolder() = default;
    virtual ~ServiceHolder() = default;
    ServiceHolder(const ServiceHolder&) = delete;
    ServiceHolder& operator=(const ServiceHolder&) = delete;
};

}  // namespace quillet
