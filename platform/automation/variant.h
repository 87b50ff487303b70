// Automation values: the Variant passed to and returned by late-bound calls, the automation error,
// and the conversions the office layer relies on.
#pragma once

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace wux::platform::automation {

class Dispatch;
// A reference to an automation object; may be null.
using DispatchRef = std::shared_ptr<Dispatch>;

// Result codes of automation errors (the system's numbers).
inline constexpr std::int32_t kErrorFail = static_cast<std::int32_t>(0x80004005);
inline constexpr std::int32_t kErrorNotImplemented = static_cast<std::int32_t>(0x80004001);
inline constexpr std::int32_t kErrorInvalidArgument = static_cast<std::int32_t>(0x80070057);
inline constexpr std::int32_t kErrorMemberNotFound = static_cast<std::int32_t>(0x80020003);
inline constexpr std::int32_t kErrorTypeMismatch = static_cast<std::int32_t>(0x80020005);
inline constexpr std::int32_t kErrorException = static_cast<std::int32_t>(0x80020009);
inline constexpr std::int32_t kErrorOverflow = static_cast<std::int32_t>(0x8002000A);
inline constexpr std::int32_t kErrorBadParamCount = static_cast<std::int32_t>(0x8002000E);
inline constexpr std::int32_t kErrorParamNotFound = static_cast<std::int32_t>(0x80020004);
inline constexpr std::int32_t kErrorClassNotRegistered = static_cast<std::int32_t>(0x80040154);
inline constexpr std::int32_t kErrorInvalidClassString = static_cast<std::int32_t>(0x800401F3);
inline constexpr std::int32_t kErrorNotInitialized = static_cast<std::int32_t>(0x800401F0);
inline constexpr std::int32_t kErrorServerUnavailable = static_cast<std::int32_t>(0x800706BA);
inline constexpr std::int32_t kErrorObjectDeleted = static_cast<std::int32_t>(0x800A16A8);

// An error raised by an automation call: a result code, the source (the server's name) and a message.
class AutomationError : public std::runtime_error
{
public:
    AutomationError(std::int32_t code, std::string source, std::string message);
    std::int32_t code() const noexcept { return code_; }
    const std::string& source() const noexcept { return source_; }
    const std::string& message() const noexcept { return message_; }

private:
    std::int32_t code_;
    std::string source_;
    std::string message_;
};

// Variant types, with the system's numbers where it has them.
enum class VarType : std::uint16_t
{
    kEmpty = 0,
    kNull = 1,
    kI2 = 2,
    kI4 = 3,
    kR4 = 4,
    kR8 = 5,
    kCy = 6,
    kDate = 7,
    kBStr = 8,
    kDispatch = 9,
    kError = 10,
    kBool = 11,
    kI1 = 16,
    kUI1 = 17,
    kUI2 = 18,
    kUI4 = 19,
    kI8 = 20,
    kArray = 0x200C,   // a 0-based array of variants
    kMissing = 0x7FFF, // an omitted optional argument (distinct from Empty and from "")
};

// One automation value.
class Variant
{
public:
    Variant() = default; // Empty
    Variant(bool value);
    Variant(std::int32_t value); // I4
    Variant(double value);       // R8
    Variant(std::u16string value);
    Variant(std::u16string_view value);
    Variant(const char16_t* value);
    Variant(DispatchRef value);    // Dispatch (null allowed)
    Variant(const char*) = delete; // 8-bit texts go through fromUtf8

    static Variant empty() { return Variant(); }
    static Variant null();
    static Variant missing();
    static Variant fromInt(VarType type, std::int64_t value); // I1, UI1, I2, UI2, I4, UI4, I8
    static Variant fromR4(float value);
    static Variant fromCurrency(std::int64_t scaledBy10000);
    static Variant fromDate(double days); // days since 1899-12-30
    static Variant fromError(std::int32_t scode);
    static Variant fromArray(std::vector<Variant> items);
    // UTF-8 text as a BSTR.
    static Variant fromUtf8(std::string_view text);

    VarType type() const noexcept { return type_; }
    bool isEmpty() const noexcept { return type_ == VarType::kEmpty; }
    bool isNull() const noexcept { return type_ == VarType::kNull; }
    bool isMissing() const noexcept { return type_ == VarType::kMissing; }
    // Empty, or a null dispatch reference: the "Nothing" that a wrapper tests for.
    bool isNothing() const noexcept;
    bool isInteger() const noexcept;
    bool isNumber() const noexcept; // integers, R4, R8, CY, DATE

    // Raw contents (valid for the matching types only).
    bool boolValue() const noexcept { return integer_ != 0; }
    std::int64_t integerValue() const noexcept { return integer_; } // integers, CY (scaled), error scode
    double realValue() const noexcept { return real_; }             // R4, R8, DATE
    const std::u16string& text() const noexcept { return text_; }   // BSTR
    const DispatchRef& dispatch() const noexcept { return dispatch_; }
    const std::vector<Variant>& items() const; // array (empty for other types)

private:
    VarType type_ = VarType::kEmpty;
    std::int64_t integer_ = 0;
    double real_ = 0;
    std::u16string text_;
    DispatchRef dispatch_;
    std::shared_ptr<const std::vector<Variant>> array_;
};

// ---- Conversions (raise AutomationError 0x80020005 type mismatch / 0x8002000A overflow) ----

// BOOL; numbers != 0; "True"/"False" ignoring case; numeric texts; Empty is false.
bool toBool(const Variant& value);
// Numbers (reals rounded half to even), BOOL (-1/0), numeric texts, Empty 0.
std::int32_t toInt32(const Variant& value);
// Numbers, BOOL, numeric texts, Empty 0.
double toDouble(const Variant& value);
// Empty/Null ""; BOOL "True"/"False"; integers in decimal; reals with at most 15 significant digits
// and "." (exponent form "1E+20" where needed); CY with up to 4 decimals; DATE as "YYYY-MM-DD",
// "HH:MM:SS" or both; BSTR itself. Error, Missing, Dispatch and arrays raise.
std::u16string variantToText(const Variant& value);
// variantToText as UTF-8.
std::string variantToUtf8(const Variant& value);

} // namespace wux::platform::automation
