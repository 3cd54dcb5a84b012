#include "rules/order_records.h"

namespace zelvo_host {

namespace {

struct OutcomeName {
    Outcome outcome;
    const char* name;
};

constexpr OutcomeName outcomeNames[] = {
    {Outcome::Placed, "placed"},
    {Outcome::Refused, "refused"},
    {Outcome::Unknown, "unknown"},
    {Outcome::NotFound, "not_found"},
};

}  // namespace

const char* outcomeName(Outcome outcome)
{
    for (const OutcomeName& entry : outcomeNames) {
        if (entry.outcome == outcome) {
            return entry.name;
        }
    }
    return "unknown";
}

std::optional<Outcome> outcomeNamed(const std::string& name)
{
    for (const OutcomeName& entry : outcomeNames) {
        if (name == entry.name) {
            return entry.outcome;
        }
    }
    return std::nullopt;
}

Json OrderRecord::request() const
{
    Json fields = {{"kind", kind}, {"code", code}, {"price", price}, {"quantity", quantity}};
    if (callerId) {
        fields["order_id"] = orderId;
    }
    return fields;
}

std::string_view orderKindName(zelvo::OrderKind kind)
{
    for (const auto& entry : zelvo::orderKindNames) {
        if (entry.kind == kind) {
            return entry.name;
        }
    }
    return {};
}

Json OrderRequest::toJson() const
{
    Json fields = {{"kind", orderKindName(kind)}, {"code", code}, {"price", price}, {"quantity", quantity}};
    if (!orderId.empty()) {
        fields["order_id"] = orderId;
    }
    return fields;
}

Json recordJson(const OrderRecord& record)
{
    Json json = {{"order_id", record.orderId}, {"time", record.time},       {"kind", record.kind},
                 {"code", record.code},        {"price", record.price},     {"quantity", record.quantity},
                 {"outcome", outcomeName(record.outcome)}, {"contract", record.contract}, {"message", record.message}};
    if (!record.reconciledAt.empty()) {
        json["reconciliation"] = {{"time", record.reconciledAt}, {"note", record.note}, {"candidates", record.candidates}};
    }
    return json;
}

}  // namespace zelvo_host
