#pragma once
// One open drawing and the AutoLISP functions defined in it. AutoLISP names compare without
// regard to case; defining a name again replaces the earlier definition.
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "cadhost/arx.h"

namespace cadhost {

struct ArxApplication;

class Document final : public AcApDocument {
public:
    struct LispFunction {
        std::shared_ptr<ArxApplication> app;  // the defining application
        int code = -1;
    };

    explicit Document(std::string name) : name_(std::move(name)) {}
    const char* fileName() const override { return name_.c_str(); }
    const std::string& name() const { return name_; }

    void define(const std::string& name, LispFunction function);
    // Removes the definition only when app defined name with that code.
    bool undefine(const std::string& name, const ArxApplication& app, int code);
    std::optional<LispFunction> find(const std::string& name) const;
    void removeOwnedBy(const ArxApplication& app);

private:
    std::string name_;
    std::map<std::string, LispFunction> functions_;  // by upper-case name
};

}  // namespace cadhost
