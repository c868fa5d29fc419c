#include <mutex>
#include <set>

#include "qmenv/environment.h"
#include "qmreg/registry.h"
#include "reports_p.h"

namespace {

std::optional<qmreg::HiveId> hiveOf(QmEnHKey root) {
    if (root == kQmEnHKeyCurrentUser)
        return qmreg::HiveId::CurrentUser;
    if (root == kQmEnHKeyLocalMachine)
        return qmreg::HiveId::LocalMachine;
    return std::nullopt;
}

// What the library reports, and to whom. One per process, like the registry it stands for.
struct Reports {
    std::mutex mutex;
    std::set<std::string> reported;
    QmEnReportSink sink;
};

Reports& reports() {
    static Reports instance;
    return instance;
}

}  // namespace

// Each distinct store problem is reported once per process: a damaged store would otherwise
// repeat the same message for every value the product reads.
void qmenv::detail::reportOnce(const std::string& message) {
    Reports& r = reports();
    std::lock_guard lock(r.mutex);
    if (r.reported.insert(message).second && r.sink)
        r.sink(message);
}

void QmEnSetReportSink(QmEnReportSink sink) {
    Reports& r = reports();
    std::lock_guard lock(r.mutex);
    r.sink = std::move(sink);
}

QmEnWinRegistry::QmEnWinRegistry() = default;

QmEnWinRegistry::~QmEnWinRegistry() = default;

template <class F>
bool QmEnWinRegistry::guarded(F&& body) {
    try {
        return body();
    } catch (const qmreg::StoreError& e) {
        lastError_ = e.what();
        qmenv::detail::reportOnce(lastError_);
        return false;
    }
}

qmreg::Hive& QmEnWinRegistry::hive() {
    if (!hive_ || hiveThread_ != std::this_thread::get_id()) {
        hive_ = qmreg::Hive::sharedForThread(*hiveOf(root_));
        hiveThread_ = std::this_thread::get_id();
    }
    return *hive_;
}

bool QmEnWinRegistry::OpenKey(QmEnHKey root, std::string_view subkey, bool create) {
    open_ = false;
    hive_.reset();
    auto hive = hiveOf(root);
    if (!hive)
        return false;
    // docs/PERFORMANCE.md: an open key's path is folded and hashed once.
    qmreg::Hive::KeyPath path(subkey);
    open_ = guarded([&] {
        root_ = root;
        qmreg::Hive& store = this->hive();
        // A hive this user may only read still opens its existing keys; writes then fail.
        return create && store.writable() ? store.createKey(subkey) : store.keyExists(path);
    });
    if (open_) {
        root_ = root;
        key_ = std::move(path);
    }
    return open_;
}

bool QmEnWinRegistry::ReadString(std::string_view name, std::string& out) {
    if (!open_)
        return false;
    return guarded([&] {
        auto value = hive().getValue(key_, name);
        if (!value || !value->isString())
            return false;
        out = value->asString();
        return true;
    });
}

bool QmEnWinRegistry::ReadLong(std::string_view name, std::int32_t& out) {
    if (!open_)
        return false;
    return guarded([&] {
        auto value = hive().getValue(key_, name);
        if (!value || value->type != qmreg::ValueType::Dword)
            return false;
        out = static_cast<std::int32_t>(value->asDword());
        return true;
    });
}

bool QmEnWinRegistry::HasValues() {
    if (!open_)
        return false;
    return guarded([&] { return hive().hasValues(key_); });
}

bool QmEnWinRegistry::WriteString(std::string_view name, std::string_view value) {
    if (!open_)
        return false;
    return guarded(
        [&] { return hive().setValue(key_, qmreg::Value::string(std::string(name), value)); });
}

bool QmEnWinRegistry::WriteLong(std::string_view name, std::int32_t value) {
    if (!open_)
        return false;
    return guarded([&] {
        return hive().setValue(
            key_, qmreg::Value::dword(std::string(name), static_cast<std::uint32_t>(value)));
    });
}
