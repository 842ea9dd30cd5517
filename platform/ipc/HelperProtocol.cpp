#include "platform/ipc/HelperProtocol.h"

#include "platform/io/Utf8.h"

#include <nlohmann/json.hpp>

#include <cerrno>
#include <cstring>
#include <limits>
#include <map>

namespace platform {

namespace {

using Json = nlohmann::json;
using OrderedJson = nlohmann::ordered_json;

// A scalar value as the request reader saw it.
struct Scalar
{
    enum Kind { Null, Boolean, Integer, Unsigned, Float, String };
    explicit Scalar(Kind k = Null)
        : kind(k)
    {
    }
    Kind kind;
    std::int64_t integer = 0;
    std::uint64_t unsignedInteger = 0;
    std::string text;
};

// Keeps the echo of client text in an error message short.
std::string excerpt(std::string_view text)
{
    constexpr std::size_t kMax = 64;
    if (text.size() > kMax)
        return "\"" + std::string(text.substr(0, kMax)) + "...\"";
    return "\"" + std::string(text) + "\"";
}

// Reads exactly one flat object into a key map and stops at the first thing a request never holds,
// so no input can build a deep tree or a large document in memory.
class FlatObjectReader : public nlohmann::json_sax<Json>
{
public:
    std::map<std::string, Scalar, std::less<>> fields;
    std::string failure;

    bool null() override { return put(Scalar()); }
    bool boolean(bool) override { return put(Scalar(Scalar::Boolean)); }
    bool number_integer(number_integer_t v) override
    {
        Scalar s(Scalar::Integer);
        s.integer = v;
        return put(std::move(s));
    }
    bool number_unsigned(number_unsigned_t v) override
    {
        Scalar s(Scalar::Unsigned);
        s.unsignedInteger = v;
        return put(std::move(s));
    }
    bool number_float(number_float_t, const string_t&) override { return put(Scalar(Scalar::Float)); }
    bool string(string_t& v) override
    {
        Scalar s(Scalar::String);
        s.text = std::move(v);
        return put(std::move(s));
    }
    bool binary(binary_t&) override { return nested(); }
    bool start_object(std::size_t) override
    {
        if (m_depth++ != 0)
            return nested();
        return true;
    }
    bool key(string_t& name) override
    {
        if (fields.count(name)) {
            failure = "Duplicate key " + excerpt(name);
            return false;
        }
        m_key = std::move(name);
        return true;
    }
    bool end_object() override
    {
        --m_depth;
        return true;
    }
    bool start_array(std::size_t) override { return nested(); }
    bool end_array() override { return false; }
    bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) override
    {
        failure = "Malformed JSON request";
        return false;
    }

private:
    bool put(Scalar value)
    {
        if (m_depth != 1) {
            failure = "A request must be a JSON object";
            return false;
        }
        fields.emplace(std::move(m_key), std::move(value));
        return true;
    }
    bool nested()
    {
        failure = m_depth == 0 ? "A request must be a JSON object" : "A request holds no nested values";
        return false;
    }

    int m_depth = 0;
    std::string m_key;
};

std::optional<std::int64_t> asInt64(const Scalar& s)
{
    if (s.kind == Scalar::Integer)
        return s.integer;
    if (s.kind == Scalar::Unsigned && s.unsignedInteger <= std::uint64_t(std::numeric_limits<std::int64_t>::max()))
        return std::int64_t(s.unsignedInteger);
    return std::nullopt;
}

std::optional<std::int32_t> asInt32(const Scalar& s)
{
    const auto v = asInt64(s);
    if (!v || *v < std::numeric_limits<std::int32_t>::min() || *v > std::numeric_limits<std::int32_t>::max())
        return std::nullopt;
    return std::int32_t(*v);
}

std::optional<HelperOp> opFromName(std::string_view name)
{
    for (HelperOp op : {HelperOp::sendSignal, HelperOp::pauseFileIndexer, HelperOp::resumeFileIndexer,
             HelperOp::getPowerMetrics, HelperOp::getVersion, HelperOp::purgeMemory}) {
        if (name == helperOpName(op))
            return op;
    }
    return std::nullopt;
}

} // namespace

const char* helperOpName(HelperOp op)
{
    switch (op) {
    case HelperOp::sendSignal:
        return "sendSignal";
    case HelperOp::pauseFileIndexer:
        return "suppressSpotlight";
    case HelperOp::resumeFileIndexer:
        return "restoreSpotlight";
    case HelperOp::getPowerMetrics:
        return "getPowerMetrics";
    case HelperOp::getVersion:
        return "getVersion";
    case HelperOp::purgeMemory:
        return "purgeMemory";
    }
    return "";
}

DomainError posixError(int error)
{
    return DomainError {kPosixErrorDomain, error, std::strerror(error)};
}

std::variant<HelperRequest, RequestDecodeFailure> decodeHelperRequest(std::string_view line)
{
    // The JSON reader takes a NUL byte for the end of its input and would ignore what follows.
    if (line.find('\0') != std::string_view::npos)
        return RequestDecodeFailure {std::nullopt, "A request may not hold a NUL byte"};
    FlatObjectReader reader;
    bool parsed = false;
    try {
        parsed = Json::sax_parse(line.begin(), line.end(), &reader);
    } catch (const std::exception&) {
        parsed = false;
    }
    if (!parsed)
        return RequestDecodeFailure {std::nullopt, reader.failure.empty() ? "Malformed JSON request" : reader.failure};

    const auto idField = reader.fields.find("id");
    const auto id = idField == reader.fields.end() ? std::nullopt : asInt64(idField->second);
    if (!id)
        return RequestDecodeFailure {std::nullopt, "\"id\" must be an integer"};

    const auto opField = reader.fields.find("op");
    if (opField == reader.fields.end() || opField->second.kind != Scalar::String)
        return RequestDecodeFailure {id, "\"op\" must be a string"};
    const auto op = opFromName(opField->second.text);
    if (!op)
        return RequestDecodeFailure {id, "Unknown operation " + excerpt(opField->second.text)};

    HelperRequest request {*id, *op, 0, 0, std::nullopt};
    std::size_t expectedKeys = 2;
    if (*op == HelperOp::sendSignal) {
        for (auto [name, target] : {std::pair {"signal", &request.signal}, std::pair {"pid", &request.pid}}) {
            const auto field = reader.fields.find(name);
            const auto value = field == reader.fields.end() ? std::nullopt : asInt32(field->second);
            if (!value)
                return RequestDecodeFailure {id, excerpt(name) + " must be a 32-bit integer"};
            *target = *value;
        }
        expectedKeys = 4;
        if (const auto field = reader.fields.find("startTime"); field != reader.fields.end()) {
            if (field->second.kind != Scalar::Unsigned
                && !(field->second.kind == Scalar::Integer && field->second.integer >= 0))
                return RequestDecodeFailure {id, "\"startTime\" must be a non-negative integer"};
            request.startTime = field->second.kind == Scalar::Unsigned ? field->second.unsignedInteger
                                                                       : std::uint64_t(field->second.integer);
            ++expectedKeys;
        }
    }
    if (reader.fields.size() != expectedKeys) {
        for (const auto& [name, value] : reader.fields) {
            if (name != "id" && name != "op"
                && !(*op == HelperOp::sendSignal && (name == "signal" || name == "pid" || name == "startTime")))
                return RequestDecodeFailure {id, "Unexpected key " + excerpt(name) + " for " + helperOpName(*op)};
        }
    }
    return request;
}

std::string encodeHelperRequest(const HelperRequest& request)
{
    OrderedJson j;
    j["id"] = request.id;
    j["op"] = helperOpName(request.op);
    if (request.op == HelperOp::sendSignal) {
        j["signal"] = request.signal;
        j["pid"] = request.pid;
        if (request.startTime)
            j["startTime"] = *request.startTime;
    }
    return j.dump();
}

HelperReply successReply(std::int64_t id)
{
    HelperReply reply;
    reply.id = id;
    reply.ok = true;
    return reply;
}

HelperReply failureReply(std::optional<std::int64_t> id, DomainError error)
{
    HelperReply reply;
    reply.id = id;
    reply.ok = false;
    reply.error = std::move(error);
    return reply;
}

DomainError badRequestError(std::string message)
{
    return DomainError {kHelperErrorDomain, kHelperBadRequest, std::move(message)};
}

std::string encodeHelperReply(const HelperReply& reply)
{
    OrderedJson j;
    j["id"] = reply.id ? OrderedJson(*reply.id) : OrderedJson(nullptr);
    j["ok"] = reply.ok;
    if (reply.error)
        j["error"] = {{"domain", toValidUtf8(reply.error->domain)}, {"code", reply.error->code},
            {"message", toValidUtf8(reply.error->message)}};
    if (reply.data)
        j["data"] = toValidUtf8(*reply.data);
    if (reply.version)
        j["version"] = toValidUtf8(*reply.version);
    return j.dump();
}

std::optional<HelperReply> decodeHelperReply(std::string_view line)
{
    const Json j = Json::parse(line.begin(), line.end(), nullptr, false);
    if (!j.is_object())
        return std::nullopt;
    HelperReply reply;

    const auto id = j.find("id");
    if (id == j.end())
        return std::nullopt;
    if (id->is_number_integer() && !(id->is_number_unsigned() && id->get<std::uint64_t>() > std::uint64_t(INT64_MAX)))
        reply.id = id->get<std::int64_t>();
    else if (!id->is_null())
        return std::nullopt;

    const auto ok = j.find("ok");
    if (ok == j.end() || !ok->is_boolean())
        return std::nullopt;
    reply.ok = ok->get<bool>();

    if (const auto error = j.find("error"); error != j.end()) {
        if (!error->is_object())
            return std::nullopt;
        const auto domain = error->find("domain");
        const auto code = error->find("code");
        const auto message = error->find("message");
        if (domain == error->end() || !domain->is_string() || code == error->end() || !code->is_number_integer()
            || message == error->end() || !message->is_string())
            return std::nullopt;
        if (code->is_number_unsigned() ? code->get<std::uint64_t>() > std::uint64_t(INT32_MAX)
                                       : code->get<std::int64_t>() < INT32_MIN)
            return std::nullopt;
        reply.error
            = DomainError {domain->get<std::string>(), int(code->get<std::int64_t>()), message->get<std::string>()};
    }
    for (auto [name, target] : {std::pair {"data", &reply.data}, std::pair {"version", &reply.version}}) {
        const auto field = j.find(name);
        if (field == j.end())
            continue;
        if (!field->is_string())
            return std::nullopt;
        *target = field->get<std::string>();
    }
    if (reply.ok && reply.error)
        return std::nullopt;
    return reply;
}

} // namespace platform
