#pragma once
// The errors that end the reading of a module definition with an error text for the user. The
// codes are the COM result codes a user may look up; ComErrorText formats them the way the
// loader shows them.
#include <cstdint>
#include <stdexcept>
#include <string>

namespace qm {

// The reader's objects could not be created (memory exhausted): the document that should
// have been used is missing, and using it fails with "null interface".
inline constexpr std::uint32_t kComErrorPointer = 0x80004003u;
// The schema file is well-formed XML but not a usable schema, so it cannot join the schema
// collection: unspecified failure.
inline constexpr std::uint32_t kComErrorFail = 0x80004005u;
// An attribute the reader needs is absent; turning its missing value into text is a type
// mismatch.
inline constexpr std::uint32_t kComErrorTypeMismatch = 0x80020005u;

class ComError : public std::runtime_error {
public:
    // line: where in the document the failing call was made, 0 when not about a node.
    ComError(std::uint32_t code, const std::string& what, int line = 0);
    std::uint32_t code() const { return code_; }
    int line() const { return line_; }

private:
    std::uint32_t code_;
    int line_;
};

// "Error parsing XML file.\nIs the MSXML reader installed?\n\nCOM Error\nCode = " followed by
// code as eight lower-case hexadecimal digits.
std::string ComErrorText(std::uint32_t code);

}  // namespace qm
