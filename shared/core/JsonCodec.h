#pragma once

#include "Date.h"
#include "RawEnum.h"
#include "Uuid.h"

#include <nlohmann/json.hpp>

#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <vector>

// Strict JSON decoding for stored records: a missing key, a value of the wrong JSON type, an
// integer field holding a fraction or a raw value that names no case fails the whole record,
// as the platform decoder the stored formats come from does. Encoding writes dates as seconds
// since 2001, UUIDs upper-case and enumerations as their raw text.
using Json = nlohmann::json;
using OrderedJson = nlohmann::ordered_json;

struct JsonDecodeError : std::runtime_error
{
    using std::runtime_error::runtime_error;
};

template<class J> void to_json(J& j, const Date& d)
{
    j = d.timeIntervalSinceReferenceDate();
}

template<class J> void to_json(J& j, const Uuid& id)
{
    j = id.toString();
}

template<RawEnum E, class J> void to_json(J& j, E value)
{
    j = rawValue(value);
}

namespace jsoncodec {

template<class T> struct IsVector : std::false_type
{
};
template<class U> struct IsVector<std::vector<U>> : std::true_type
{
};

template<class T, class J> T decode(const J& v);

template<class T, class J> T decodeInteger(const J& v)
{
    if (v.is_number_integer()) {
        if (v.is_number_unsigned()) {
            const auto u = v.template get<std::uint64_t>();
            if (u > static_cast<std::uint64_t>(std::numeric_limits<T>::max()))
                throw JsonDecodeError("integer out of range");
            return static_cast<T>(u);
        }
        const auto s = v.template get<std::int64_t>();
        if (s < static_cast<std::int64_t>(std::numeric_limits<T>::min())
            || s > static_cast<std::int64_t>(std::numeric_limits<T>::max()))
            throw JsonDecodeError("integer out of range");
        return static_cast<T>(s);
    }
    if (v.is_number_float()) {
        // 3.0 reads as 3; 2.5 is not an integer. The upper bound is exclusive: the largest 64-bit value
        // rounds up to 2^63 as a double, which no signed 64-bit integer holds.
        const double d = v.template get<double>();
        const double end = std::ldexp(1.0, std::numeric_limits<T>::digits);
        if (!std::isfinite(d) || std::trunc(d) != d || d < static_cast<double>(std::numeric_limits<T>::min())
            || d >= end)
            throw JsonDecodeError("expected an integer");
        return static_cast<T>(d);
    }
    throw JsonDecodeError("expected an integer");
}

template<class T, class J> T decode(const J& v)
{
    if constexpr (std::is_same_v<T, bool>) {
        if (!v.is_boolean())
            throw JsonDecodeError("expected a Boolean");
        return v.template get<bool>();
    } else if constexpr (std::is_integral_v<T>) {
        return decodeInteger<T>(v);
    } else if constexpr (std::is_floating_point_v<T>) {
        if (!v.is_number())
            throw JsonDecodeError("expected a number");
        return v.template get<T>();
    } else if constexpr (std::is_same_v<T, std::string>) {
        if (!v.is_string())
            throw JsonDecodeError("expected a string");
        return v.template get<std::string>();
    } else if constexpr (std::is_same_v<T, Date>) {
        if (!v.is_number())
            throw JsonDecodeError("expected a date");
        // A date beyond the year 9999 was written by no clock; every reader turns dates into calendar
        // days or milliseconds, which such a value overflows.
        const double seconds = v.template get<double>();
        if (!Date::isStorable(seconds))
            throw JsonDecodeError("date out of range");
        return Date::fromReferenceDate(seconds);
    } else if constexpr (std::is_same_v<T, Uuid>) {
        if (!v.is_string())
            throw JsonDecodeError("expected a UUID string");
        auto id = Uuid::fromString(v.template get<std::string>());
        if (!id)
            throw JsonDecodeError("malformed UUID");
        return *id;
    } else if constexpr (RawEnum<T>) {
        if (!v.is_string())
            throw JsonDecodeError("expected a raw value");
        auto e = enumFromRawValue<T>(v.template get<std::string>());
        if (!e)
            throw JsonDecodeError("unknown raw value");
        return *e;
    } else if constexpr (IsVector<T>::value) {
        if (!v.is_array())
            throw JsonDecodeError("expected an array");
        T out;
        out.reserve(v.size());
        for (const auto& element : v)
            out.push_back(decode<typename T::value_type>(element));
        return out;
    } else {
        if (!v.is_object())
            throw JsonDecodeError("expected an object");
        return v.template get<T>();
    }
}

// The value under key; throws JsonDecodeError when the key is missing or the value is ill-typed.
template<class T, class J> T require(const J& object, const char* key)
{
    if (!object.is_object())
        throw JsonDecodeError("expected an object");
    auto it = object.find(key);
    if (it == object.end())
        throw JsonDecodeError(std::string("missing key ") + key);
    return decode<T>(*it);
}

// A missing key or null reads as no value; a present value must still have the right type.
template<class T, class J> std::optional<T> optional(const J& object, const char* key)
{
    if (!object.is_object())
        throw JsonDecodeError("expected an object");
    auto it = object.find(key);
    if (it == object.end() || it->is_null())
        return std::nullopt;
    return decode<T>(*it);
}

// Absent optionals are left out of the encoded object.
template<class J, class T> void putOptional(J& object, const char* key, const std::optional<T>& value)
{
    if (value)
        object[key] = *value;
}

// Decodes text into T; nullopt when it is not JSON or not a valid T.
template<class T> std::optional<T> decodeText(std::string_view text)
{
    try {
        const Json j = Json::parse(text);
        return decode<T>(j);
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

inline bool containsNonFinite(const Json& node)
{
    if (node.is_number_float())
        return !std::isfinite(node.get<double>());
    if (node.is_structured()) {
        for (const auto& child : node) {
            if (containsNonFinite(child))
                return true;
        }
    }
    return false;
}

// Compact JSON text; nullopt for a value holding a non-finite number, which the platform encoder
// refuses (nlohmann would write null and the stored value would no longer decode).
template<class T> std::optional<std::string> encodeText(const T& value)
{
    try {
        const Json j = value;
        if (containsNonFinite(j))
            return std::nullopt;
        return j.dump();
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

} // namespace jsoncodec
