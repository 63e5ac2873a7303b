#pragma once

namespace tvx {

// Where clearing and placing send any failure: the insertion message, then the end of the run.
class InsertErrorRoute {
public:
    virtual ~InsertErrorRoute() = default;
    [[noreturn]] virtual void reportInsertError() = 0;
};

} // namespace tvx
