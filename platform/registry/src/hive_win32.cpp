// The hives on Windows: the real registry, through advapi32's W functions. Names cross into
// the registry as UTF-16 and come back as UTF-8; the registry compares names itself. The one
// home of the registry calls.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <qmsys/environment.h>
#include <qmsys/text.h>

#include <algorithm>
#include <cassert>
#include <cstdlib>
#include <optional>
#include <thread>
#include <unordered_map>
#include <utility>

#include "key_path_p.h"
#include "name_folding_p.h"
#include "qmreg/registry.h"
#include "tool/utf16.h"

namespace qmreg {

namespace {

constexpr std::string_view kCurrentUserName = "HKEY_CURRENT_USER";
constexpr std::string_view kLocalMachineName = "HKEY_LOCAL_MACHINE";
// Where relocated hives live, below HKEY_CURRENT_USER: a private registry for tests and the
// demo that any user may write, whichever hive it stands for.
constexpr std::string_view kRelocatedKey = "Software\\Quillmont\\Relocated";
// Longest key name the registry takes, in UTF-16 code units.
constexpr std::size_t kMaxKeyNameUnits = 255;
// Levels one RegCreateKeyExW may create at once (Windows refuses more in one call).
constexpr std::size_t kLevelsPerCreate = 32;

std::wstring wide(std::string_view utf8) {
    const std::u16string units = qmsys::utf8ToUtf16(utf8);
    return std::wstring(units.begin(), units.end());
}

std::string narrow(std::wstring_view text) {
    return qmsys::utf16ToUtf8(std::u16string(text.begin(), text.end()));
}

std::string joined(const std::string& root, std::string_view path) {
    return path.empty() ? root : root + "\\" + std::string(path);
}

[[noreturn]] void fail(const std::string& what, const std::string& key, LSTATUS code) {
    throw StoreError("The registry key \"" + key + "\" " + what + ": Windows error " +
                     std::to_string(code) + ".");
}

// An open key, closed with the object.
class Key {
public:
    Key() = default;
    explicit Key(HKEY key) : key_(key) {}
    ~Key() { reset(); }
    Key(Key&& other) noexcept : key_(std::exchange(other.key_, nullptr)) {}
    Key& operator=(Key&& other) noexcept {
        if (this != &other) {
            reset();
            key_ = std::exchange(other.key_, nullptr);
        }
        return *this;
    }
    HKEY get() const { return key_; }
    HKEY* out() {
        reset();
        return &key_;
    }
    explicit operator bool() const { return key_ != nullptr; }

private:
    void reset() {
        if (key_) {
            ::RegCloseKey(key_);
            key_ = nullptr;
        }
    }
    HKEY key_ = nullptr;
};

// The predefined key a hive's name begins with, and the path below it.
bool splitRootName(std::string_view name, HKEY& predefined, std::string& below) {
    const std::size_t slash = name.find('\\');
    const std::string_view first = name.substr(0, slash);
    if (qmsys::iequals(first, kCurrentUserName)) {
        predefined = HKEY_CURRENT_USER;
    } else if (qmsys::iequals(first, kLocalMachineName)) {
        predefined = HKEY_LOCAL_MACHINE;
    } else {
        return false;
    }
    below = slash == std::string_view::npos ? std::string()
                                            : detail::normalizeKeyPath(name.substr(slash + 1));
    return true;
}

// Whether every name of a key path is short enough for the registry, which refuses a longer
// one with ERROR_INVALID_PARAMETER: a key of such a name cannot exist, nor be created.
bool namesFit(const std::vector<std::string>& names) {
    return std::all_of(names.begin(), names.end(), [](const std::string& name) {
        return qmsys::utf16Length(name) <= kMaxKeyNameUnits;
    });
}

// The key name of a relocation folder (see the header): '/' for '\', no trailing separator, and
// within a key name's length.
std::string relocatedName(std::string_view folder) {
    std::string name(folder);
    std::replace(name.begin(), name.end(), '\\', '/');
    while (name.size() > 1 && name.back() == '/') {
        name.pop_back();
    }
    if (qmsys::utf16Length(name) <= kMaxKeyNameUnits) {
        return name;
    }
    // FNV-1a of the folded name, so that spellings the registry takes for one name stay one.
    std::uint64_t hash = 0xcbf29ce484222325ULL;
    for (const char c : qmsys::upcaseName(name)) {
        hash = (hash ^ static_cast<unsigned char>(c)) * 0x100000001b3ULL;
    }
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string suffix = "~";
    for (int shift = 60; shift >= 0; shift -= 4) {
        suffix += kDigits[(hash >> shift) & 0xF];
    }
    return std::string(qmsys::cutToUtf16Units(name, kMaxKeyNameUnits - suffix.size())) + suffix;
}

std::string relocatedRoot(std::string_view folder) {
    return std::string(kCurrentUserName) + "\\" + std::string(kRelocatedKey) + "\\" +
           relocatedName(folder);
}

// QM_REGISTRY_DIR, when set and not empty.
std::optional<std::string> registryDir() {
    std::optional<std::string> dir = qmsys::environmentVariable("QM_REGISTRY_DIR");
    return dir && !dir->empty() ? dir : std::nullopt;
}

// Registry data as a Value holds it: strings in UTF-8, without the terminators the registry
// keeps (a MultiSz keeps its NULs, which are its structure).
std::vector<std::uint8_t> fromRegistry(ValueType type, const std::uint8_t* bytes,
                                       std::size_t size) {
    if (type != ValueType::Sz && type != ValueType::ExpandSz && type != ValueType::MultiSz) {
        return std::vector<std::uint8_t>(bytes, bytes + size);
    }
    std::string utf8 = tool::utf16leToUtf8(bytes, size);
    if (type != ValueType::MultiSz) {
        while (!utf8.empty() && utf8.back() == '\0') {
            utf8.pop_back();
        }
    }
    return std::vector<std::uint8_t>(utf8.begin(), utf8.end());
}

std::vector<std::uint8_t> toRegistry(const Value& value) {
    if (value.type != ValueType::Sz && value.type != ValueType::ExpandSz &&
        value.type != ValueType::MultiSz) {
        return value.data;
    }
    std::string text(value.data.begin(), value.data.end());
    if (value.type != ValueType::MultiSz) {
        text += '\0';
    }
    return tool::utf8ToUtf16le(text);
}

// _wcsicmp's order, which the registry's own enumeration need not follow.
void sortNames(std::vector<std::string>& names) {
    std::sort(names.begin(), names.end(),
              [](const std::string& a, const std::string& b) { return qmsys::icompare(a, b) < 0; });
}

}  // namespace

std::string hiveFile(HiveId hive) {
    const std::string_view ownName =
        hive == HiveId::CurrentUser ? kCurrentUserName : kLocalMachineName;
    if (const std::optional<std::string> dir = registryDir()) {
        return relocatedRoot(*dir) +
               (hive == HiveId::CurrentUser ? "\\CurrentUser" : "\\LocalMachine");
    }
    return std::string(ownName);
}

void deleteRelocatedHives(const std::string& registryDir) {
    const std::wstring path = wide(std::string(kRelocatedKey) + "\\" + relocatedName(registryDir));
    const LSTATUS rc = ::RegDeleteTreeW(HKEY_CURRENT_USER, path.c_str());
    if (rc != ERROR_SUCCESS && rc != ERROR_FILE_NOT_FOUND) {
        fail("cannot be deleted", relocatedRoot(registryDir), rc);
    }
}

struct Hive::Impl {
    std::string file;  // the root key's name
    // The root key; none for a read-only hive whose key does not exist: it reads as a hive
    // with an empty root key.
    Key root;
    bool writable = false;
    int depth = 0;       // open Transaction scopes
    bool reads = false;  // the outermost open transaction is a Reads one
    // Handles could be shared between threads, but a connection belongs to one thread on
    // every system, so that code written on one runs on the other.
    const std::thread::id owner = std::this_thread::get_id();
    // The key read last, kept open for the next reads of it: a start-up reads several values of
    // each of thousands of keys in turn, and one query then costs one call instead of an open, a
    // query and a close. A key deleted meanwhile (by anyone) answers ERROR_KEY_DELETED through
    // the handle and is opened again by its path, so no read answers for a key that is gone.
    std::string lastPath;
    Key lastKey;
    std::vector<std::uint8_t> valueData = std::vector<std::uint8_t>(1024);  // read last

    // A subtree read by Hive::prefetch, answering keyExists and getValue inside it until the
    // outermost transaction ends or anything is written: a start-up asks for the same few
    // values (the kernel services) many times over, and each read of the registry is a call.
    // Keys by folded path, values by folded name (the registry compares names folded).
    struct Prefetched {
        std::string root;  // folded path of the subtree's key
        std::unordered_map<std::string, std::unordered_map<std::string, Value>> keys;

        bool covers(std::string_view folded) const {
            return folded.size() >= root.size() && folded.substr(0, root.size()) == root &&
                   (folded.size() == root.size() || root.empty() || folded[root.size()] == '\\');
        }
    };
    std::optional<Prefetched> prefetched;

    // The prefetched copy when it answers for the key at path (a tidied path), else null.
    const Prefetched* copyFor(const std::string& path, std::string& folded) const {
        if (!prefetched) {
            return nullptr;
        }
        folded = detail::foldName(path);
        return prefetched->covers(folded) ? &*prefetched : nullptr;
    }

    // The key at path for reading values, from the one kept open unless fresh; no key when it
    // does not exist (which is never kept: it may be created any moment).
    HKEY keyForReading(const std::string& path, bool fresh) {
        if (fresh || !lastKey || lastPath != path) {
            lastKey = open(path, KEY_QUERY_VALUE, "cannot be opened");
            lastPath = path;
        }
        return lastKey.get();
    }

    void checkThread() const {
        assert(owner == std::this_thread::get_id() && "a connection belongs to one thread");
    }

    // Whether a write may go ahead (the checks every write shares). A write ends the
    // prefetched copy, which would not see it.
    bool mayWrite() {
        checkThread();
        assert(!(depth > 0 && reads) && "nothing is written inside a Reads transaction");
        prefetched.reset();
        return writable;
    }

    // The values of the open key at path, in the registry's order.
    std::vector<Value> valuesOf(HKEY opened, const std::string& path) const {
        DWORD nameUnits = 0;
        DWORD dataBytes = 0;
        LSTATUS rc = ::RegQueryInfoKeyW(opened, nullptr, nullptr, nullptr, nullptr, nullptr,
                                        nullptr, nullptr, &nameUnits, &dataBytes, nullptr, nullptr);
        if (rc != ERROR_SUCCESS) {
            fail("cannot be read", fullName(path), rc);
        }
        std::vector<Value> result;
        std::wstring name(nameUnits + 1, L'\0');
        std::vector<std::uint8_t> data(dataBytes);
        for (DWORD index = 0;;) {
            DWORD nameLength = static_cast<DWORD>(name.size());
            DWORD size = static_cast<DWORD>(data.size());
            DWORD type = REG_NONE;
            rc = ::RegEnumValueW(opened, index, name.data(), &nameLength, nullptr, &type,
                                 data.empty() ? nullptr : data.data(), &size);
            if (rc == ERROR_NO_MORE_ITEMS) {
                break;
            }
            if (rc == ERROR_MORE_DATA) {
                // A value written meanwhile is longer than the longest was: grow and ask again.
                name.resize(std::max<std::size_t>(2 * name.size(), 16384));
                data.resize(std::max<std::size_t>(size, 2 * data.size()));
                continue;
            }
            if (rc != ERROR_SUCCESS) {
                fail("cannot be read", fullName(path), rc);
            }
            const auto valueType = static_cast<ValueType>(type);
            result.push_back(Value{narrow(std::wstring_view(name.data(), nameLength)), valueType,
                                   fromRegistry(valueType, data.data(), size)});
            ++index;
        }
        return result;
    }

    std::string fullName(std::string_view path) const { return joined(file, path); }

    // Opens the key at the tidied path with access; no key when it does not exist.
    Key open(const std::string& path, REGSAM access, const char* what) const {
        Key key;
        if (!root || !namesFit(detail::splitKeyPath(path))) {
            return key;  // no key of such a name can exist
        }
        const LSTATUS rc = ::RegOpenKeyExW(root.get(), wide(path).c_str(), 0, access, key.out());
        if (rc == ERROR_FILE_NOT_FOUND) {
            return Key();
        }
        if (rc != ERROR_SUCCESS) {
            fail(what, fullName(path), rc);
        }
        return key;
    }

    // A key's subkey names, as the registry enumerates them.
    std::vector<std::string> subkeyNames(HKEY key, const std::string& path) const {
        std::vector<std::string> names;
        std::wstring buffer(kMaxKeyNameUnits + 1, L'\0');
        for (DWORD index = 0;; ++index) {
            DWORD length = static_cast<DWORD>(buffer.size());
            const LSTATUS rc = ::RegEnumKeyExW(key, index, buffer.data(), &length, nullptr, nullptr,
                                               nullptr, nullptr);
            if (rc == ERROR_NO_MORE_ITEMS) {
                break;
            }
            if (rc != ERROR_SUCCESS) {
                fail("cannot be listed", fullName(path), rc);
            }
            names.push_back(narrow(std::wstring_view(buffer.data(), length)));
        }
        return names;
    }
};

Hive::Hive(const std::string& file, bool readOnly) : impl_(std::make_unique<Impl>()) {
    impl_->file = file;
    HKEY predefined = nullptr;
    std::string below;
    if (!splitRootName(file, predefined, below)) {
        throw StoreError("\"" + file + "\" names no registry hive.");
    }
    const std::wstring path = wide(below);
    if (!readOnly) {
        const LSTATUS rc =
            ::RegCreateKeyExW(predefined, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                              KEY_READ | KEY_WRITE, nullptr, impl_->root.out(), nullptr);
        if (rc == ERROR_SUCCESS) {
            impl_->writable = true;
            return;
        }
        if (rc != ERROR_ACCESS_DENIED) {
            fail("cannot be opened", file, rc);
        }
    }
    // The user may only read the hive (the machine's, without administrator rights).
    const LSTATUS rc = ::RegOpenKeyExW(predefined, path.c_str(), 0, KEY_READ, impl_->root.out());
    if (rc == ERROR_FILE_NOT_FOUND) {
        impl_->root = Key();
    } else if (rc != ERROR_SUCCESS) {
        fail("cannot be opened", file, rc);
    }
}

Hive::~Hive() = default;

std::shared_ptr<Hive> Hive::openForThread(HiveId, const std::string& file) {
    // The constructor finds out whether the user may write the hive.
    return std::make_shared<Hive>(file);
}

bool Hive::inTransaction() const {
    return impl_->depth > 0;
}

const std::string& Hive::file() const {
    return impl_->file;
}

bool Hive::writable() const {
    return impl_->writable;
}

bool Hive::inReads() const {
    return impl_->depth > 0 && impl_->reads;
}

Hive::KeyPath::KeyPath(std::string_view path) : folded_(detail::normalizeKeyPath(path)) {}

bool Hive::keyExists(std::string_view key) {
    return keyExists(KeyPath(key));
}

bool Hive::keyExists(const KeyPath& key) {
    impl_->checkThread();
    if (!impl_->root) {
        return key.folded_.empty();
    }
    std::string folded;
    if (const Impl::Prefetched* copy = impl_->copyFor(key.folded_, folded)) {
        ++stats_.cachedReads;
        return copy->keys.contains(folded);
    }
    countStoreRead(key.folded_);
    // Opened afresh, and kept for the reads of its values that usually follow.
    return impl_->keyForReading(key.folded_, true) != nullptr;
}

void Hive::prefetch(std::string_view key) {
    impl_->checkThread();
    if (!impl_->writable || impl_->depth == 0) {
        return;  // as on every system: only inside a transaction of a hive that may be written
    }
    impl_->prefetched.reset();
    Impl::Prefetched copy;
    const std::string top = detail::normalizeKeyPath(key);
    copy.root = detail::foldName(top);
    // Each key of the subtree opened once, its values and subkeys listed: a walk without
    // recursion, since keys nest up to 512 levels.
    std::vector<std::string> pending{top};
    while (!pending.empty()) {
        const std::string path = std::move(pending.back());
        pending.pop_back();
        const Key opened =
            impl_->open(path, KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS, "cannot be opened");
        if (!opened) {
            continue;  // gone meanwhile, or never there: the copy then lacks it
        }
        countStoreRead(path);
        auto& values = copy.keys[detail::foldName(path)];
        for (Value& value : impl_->valuesOf(opened.get(), path)) {
            std::string name = detail::foldName(value.name);
            values.emplace(std::move(name), std::move(value));
        }
        for (const std::string& name : impl_->subkeyNames(opened.get(), path)) {
            pending.push_back(path.empty() ? name : path + "\\" + name);
        }
    }
    impl_->prefetched = std::move(copy);
}

bool Hive::createKey(std::string_view key) {
    const auto parts = detail::splitKeyPath(key);
    if (parts.size() > kMaxKeyDepth || !namesFit(parts) || !impl_->mayWrite()) {
        return false;
    }
    countStoreWrite();
    // At most kLevelsPerCreate levels per call, each call below the key the last one made.
    Key created;
    for (std::size_t first = 0; first < parts.size() || first == 0; first += kLevelsPerCreate) {
        std::string chunk;
        for (std::size_t i = first; i < parts.size() && i < first + kLevelsPerCreate; ++i) {
            chunk += (i > first ? "\\" : "") + parts[i];
        }
        Key next;
        const LSTATUS rc = ::RegCreateKeyExW(
            created ? created.get() : impl_->root.get(), wide(chunk).c_str(), 0, nullptr,
            REG_OPTION_NON_VOLATILE, KEY_CREATE_SUB_KEY, nullptr, next.out(), nullptr);
        if (rc == ERROR_ACCESS_DENIED) {
            return false;
        }
        if (rc != ERROR_SUCCESS) {
            fail("cannot be created", impl_->fullName(detail::normalizeKeyPath(key)), rc);
        }
        created = std::move(next);
        if (parts.empty()) {
            break;
        }
    }
    return true;
}

bool Hive::deleteKey(std::string_view key, bool recursive) {
    const std::string path = detail::normalizeKeyPath(key);
    if (path.empty() || !impl_->mayWrite()) {
        return false;  // the root key cannot be deleted
    }
    countStoreWrite();
    const std::wstring widePath = wide(path);
    // RegDeleteKeyW refuses a key with subkeys (ERROR_ACCESS_DENIED), which answers false as a
    // key the user may not delete does.
    const LSTATUS rc = recursive ? ::RegDeleteTreeW(impl_->root.get(), widePath.c_str())
                                 : ::RegDeleteKeyW(impl_->root.get(), widePath.c_str());
    if (rc == ERROR_FILE_NOT_FOUND || rc == ERROR_ACCESS_DENIED) {
        return false;
    }
    if (rc != ERROR_SUCCESS) {
        fail("cannot be deleted", impl_->fullName(path), rc);
    }
    return true;
}

bool Hive::hasValues(const KeyPath& key) {
    impl_->checkThread();
    std::string folded;
    if (const Impl::Prefetched* copy = impl_->copyFor(key.folded_, folded)) {
        ++stats_.cachedReads;
        const auto found = copy->keys.find(folded);
        return found != copy->keys.end() && !found->second.empty();
    }
    countStoreRead(key.folded_);
    bool reopen = false;
    for (;;) {
        const HKEY opened = impl_->keyForReading(key.folded_, reopen);
        if (!opened) {
            return false;
        }
        DWORD values = 0;
        const LSTATUS rc = ::RegQueryInfoKeyW(opened, nullptr, nullptr, nullptr, nullptr, nullptr,
                                              nullptr, &values, nullptr, nullptr, nullptr, nullptr);
        if (rc == ERROR_SUCCESS) {
            return values > 0;
        }
        if (rc == ERROR_KEY_DELETED && !reopen) {
            reopen = true;  // deleted and perhaps made again since it was opened
        } else {
            fail("cannot be read", impl_->fullName(key.folded_), rc);
        }
    }
}

std::optional<Value> Hive::getValue(std::string_view key, std::string_view name) {
    return getValue(KeyPath(key), name);
}

std::optional<Value> Hive::getValue(const KeyPath& key, std::string_view name) {
    impl_->checkThread();
    std::string folded;
    if (const Impl::Prefetched* copy = impl_->copyFor(key.folded_, folded)) {
        ++stats_.cachedReads;
        const auto found = copy->keys.find(folded);
        if (found == copy->keys.end()) {
            return std::nullopt;
        }
        const auto value = found->second.find(detail::foldName(name));
        if (value == found->second.end()) {
            return std::nullopt;
        }
        // Named as asked, as a read of the registry names it.
        return Value{std::string(name), value->second.type, value->second.data};
    }
    countStoreRead(key.folded_);
    const std::wstring wideName = wide(name);
    bool reopen = false;
    for (;;) {
        const HKEY opened = impl_->keyForReading(key.folded_, reopen);
        if (!opened) {
            return std::nullopt;
        }
        std::vector<std::uint8_t>& buffer = impl_->valueData;
        DWORD type = REG_NONE;
        DWORD size = static_cast<DWORD>(buffer.size());
        const LSTATUS rc =
            ::RegQueryValueExW(opened, wideName.c_str(), nullptr, &type, buffer.data(), &size);
        if (rc == ERROR_SUCCESS) {
            const auto valueType = static_cast<ValueType>(type);
            return Value{std::string(name), valueType,
                         fromRegistry(valueType, buffer.data(), size)};
        }
        if (rc == ERROR_MORE_DATA) {
            buffer.resize(size);  // and again: the value may have grown meanwhile
        } else if (rc == ERROR_FILE_NOT_FOUND) {
            return std::nullopt;
        } else if (rc == ERROR_KEY_DELETED && !reopen) {
            reopen = true;
        } else {
            fail("cannot be read", impl_->fullName(key.folded_), rc);
        }
    }
}

bool Hive::setValue(std::string_view key, const Value& value) {
    return setValue(KeyPath(key), value);
}

bool Hive::setValue(const KeyPath& key, const Value& value) {
    if (!impl_->mayWrite()) {
        return false;
    }
    countStoreWrite();
    const Key opened = impl_->open(key.folded_, KEY_SET_VALUE, "cannot be opened for writing");
    if (!opened) {
        return false;
    }
    const std::vector<std::uint8_t> data = toRegistry(value);
    const LSTATUS rc =
        ::RegSetValueExW(opened.get(), wide(value.name).c_str(), 0, static_cast<DWORD>(value.type),
                         data.empty() ? nullptr : data.data(), static_cast<DWORD>(data.size()));
    if (rc == ERROR_ACCESS_DENIED) {
        return false;
    }
    if (rc != ERROR_SUCCESS) {
        fail("cannot be written", impl_->fullName(key.folded_), rc);
    }
    return true;
}

bool Hive::deleteValue(std::string_view key, std::string_view name) {
    if (!impl_->mayWrite()) {
        return false;
    }
    countStoreWrite();
    const std::string path = detail::normalizeKeyPath(key);
    const Key opened = impl_->open(path, KEY_SET_VALUE, "cannot be opened for writing");
    if (!opened) {
        return false;
    }
    const LSTATUS rc = ::RegDeleteValueW(opened.get(), wide(name).c_str());
    if (rc == ERROR_FILE_NOT_FOUND || rc == ERROR_ACCESS_DENIED) {
        return false;
    }
    if (rc != ERROR_SUCCESS) {
        fail("cannot be written", impl_->fullName(path), rc);
    }
    return true;
}

std::vector<std::string> Hive::subkeys(std::string_view key) {
    impl_->checkThread();
    const std::string path = detail::normalizeKeyPath(key);
    countStoreRead(path);
    const Key opened = impl_->open(path, KEY_ENUMERATE_SUB_KEYS, "cannot be opened");
    if (!opened) {
        return {};
    }
    std::vector<std::string> names = impl_->subkeyNames(opened.get(), path);
    sortNames(names);
    return names;
}

std::vector<Value> Hive::values(std::string_view key) {
    impl_->checkThread();
    const std::string path = detail::normalizeKeyPath(key);
    countStoreRead(path);
    const Key opened = impl_->open(path, KEY_QUERY_VALUE, "cannot be opened");
    if (!opened) {
        return {};
    }
    std::vector<Value> result = impl_->valuesOf(opened.get(), path);
    std::sort(result.begin(), result.end(),
              [](const Value& a, const Value& b) { return qmsys::icompare(a.name, b.name) < 0; });
    return result;
}

std::optional<std::string> Hive::canonicalKey(std::string_view key) {
    impl_->checkThread();
    const std::string path = detail::normalizeKeyPath(key);
    if (!keyExists(KeyPath(path))) {
        return std::nullopt;
    }
    // Each name as its parent lists it: the registry keeps the spelling a key was created with.
    std::string canonical;
    for (const std::string& part : detail::splitKeyPath(path)) {
        const Key parent = impl_->open(canonical, KEY_ENUMERATE_SUB_KEYS, "cannot be opened");
        std::string found = part;
        if (parent) {
            const std::string folded = qmsys::upcaseName(part);
            for (const std::string& name : impl_->subkeyNames(parent.get(), canonical)) {
                if (qmsys::upcaseName(name) == folded) {
                    found = name;
                    break;
                }
            }
        }
        canonical = canonical.empty() ? found : canonical + "\\" + found;
    }
    return canonical;
}

std::vector<NameCollision> Hive::takeNameCollisions() {
    impl_->checkThread();
    return {};
}

void Hive::countStoreWrite() {
    ++stats_.writes;
    if (!inTransaction()) {
        ++stats_.transactions;
    }
}

Hive::Transaction::Transaction(Hive& hive, Kind kind) : hive_(hive) {
    Impl& impl = *hive_.impl_;
    impl.checkThread();
    if (!impl.writable) {
        done_ = true;  // nothing can be written, so there is nothing to group
        return;
    }
    outermost_ = impl.depth == 0;
    if (outermost_) {
        impl.reads = kind == Kind::Reads;
        ++hive_.stats_.transactions;
    }
    ++impl.depth;
}

Hive::Transaction::~Transaction() {
    if (!done_) {
        --hive_.impl_->depth;  // the writes stay: the registry cannot take them back
        if (outermost_) {
            hive_.impl_->prefetched.reset();
        }
    }
}

void Hive::Transaction::commit() {
    if (done_) {
        return;
    }
    done_ = true;
    --hive_.impl_->depth;
    if (outermost_) {
        hive_.impl_->prefetched.reset();
    }
}

}  // namespace qmreg
