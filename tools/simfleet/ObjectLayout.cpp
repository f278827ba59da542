#include "ObjectLayout.h"

#include <algorithm>
#include <cctype>

namespace simfleet {

namespace {

const char* const kMibNames[] = {"OidSysName",       "OidSysDesc",  "OidSysLocation",
                                 "OidSysContact",    "OidSysObjID", "OidNumInterfaceTblEnt",
                                 "OidInterfaceType", "OidMacAdr"};

bool StartsWith(const std::string& text, const std::string& head) {
    return text.size() >= head.size() && EqualsNoCase(text.substr(0, head.size()), head);
}

}  // namespace

ObjectKind KindOf(const std::string& name) {
    if (name == "OidSysName" || name == "OidSysLocation" || name == "OidSysContact") {
        return ObjectKind::WritableText;
    }
    if (name == "OidSysDesc") {
        return ObjectKind::Text;
    }
    if (name == "OidSysObjID") {
        return ObjectKind::ObjectId;
    }
    if (name == "OidNumInterfaceTblEnt") {
        return ObjectKind::Integer;
    }
    if (name == "OidInterfaceType" || name == "OidMacAdr") {
        return ObjectKind::Column;
    }
    if (name == "EntOidModDate" || name == "EntOidBuildNum" || name == "EntOidPlatForm") {
        return ObjectKind::Text;
    }
    // Flags, counts and codes of the transfer request are numbers; the console
    // learns the type with a GET before each SET and must find INTEGER here.
    for (const char* number :
         {"EntOidCfgDnldReboot", "EntOidNumDLEntries", "EntOidXferDirection", "EntOidXferType",
          "EntOidXferProtocol", "EntOidXferImediate", "EntOidXferSubmit"}) {
        if (name == number) {
            return ObjectKind::WritableInteger;
        }
    }
    return ObjectKind::WritableText;
}

bool ObjectLayout::Load(const IniFile& settings, ObjectLayout& layout, std::string& error) {
    layout = ObjectLayout();
    layout.m_settings = settings;
    for (const char* name : kMibNames) {
        auto value = settings.Get("OID", name);
        auto oid = value ? ParseOid(*value) : std::nullopt;
        if (!oid) {
            error = std::string("[OID] ") + name + " is missing or not a dotted OID";
            return false;
        }
        layout.m_mib.emplace_back(name, *oid);
    }
    for (const char* section : {"OID", "TRK2200OLD"}) {
        if (const auto* entries = settings.SectionEntries(section)) {
            for (const auto& [key, value] : *entries) {
                if (StartsWith(key, "EntOid") &&
                    std::find(layout.m_entNames.begin(), layout.m_entNames.end(), key) ==
                        layout.m_entNames.end()) {
                    layout.m_entNames.push_back(key);
                }
            }
        }
    }
    if (const auto* entries = settings.SectionEntries("SysObjID")) {
        for (const auto& [key, value] : *entries) {
            if (key.empty() || key[0] != '.') {
                continue;
            }
            auto sysObjectId = ParseOid(key);
            auto prefix = ParseOid(settings.Get("SysObjID", value, ""));
            if (!sysObjectId || !prefix) {
                error = "[SysObjID] " + key + " names product " + value +
                        " without a dotted enterprise prefix";
                return false;
            }
            Product product;
            product.key = value;
            product.sysObjectId = *sysObjectId;
            product.prefix = *prefix;
            product.section = settings.Get("PSectXlate", value, "");
            product.older = product.section.find("2200") != std::string::npos;
            layout.m_products.push_back(product);
        }
    }
    layout.m_regFileName = settings.Get("Misc", "RegFileName", "terminal.reg");
    layout.m_getCommunity = settings.Get("Misc", "GetCommunity", "public");
    layout.m_setCommunity = settings.Get("Misc", "SetCommunity", "private");
    return true;
}

Product ObjectLayout::ProductFor(const Oid& sysObjectId) const {
    for (const auto& product : m_products) {
        if (product.sysObjectId == sysObjectId) {
            return product;
        }
    }
    // An unlisted product uses its own sysObjectID as prefix and the OTHER section.
    Product other;
    other.sysObjectId = sysObjectId;
    other.prefix = sysObjectId;
    other.section = "OTHER";
    return other;
}

bool ObjectLayout::FindProduct(const std::string& model, Product& product,
                               std::string& error) const {
    if (!model.empty() && (model[0] == '.' || std::isdigit(static_cast<unsigned char>(model[0])))) {
        auto oid = ParseOid(model);
        if (!oid) {
            error = "not a dotted sysObjectID: " + model;
            return false;
        }
        product = ProductFor(*oid);
        return true;
    }
    bool wantOlder = EqualsNoCase(model, "older");
    bool wantCurrent = model.empty() || EqualsNoCase(model, "current");
    for (const auto& candidate : m_products) {
        if ((wantOlder && candidate.older) || (wantCurrent && !candidate.older) ||
            EqualsNoCase(candidate.key, model)) {
            product = candidate;
            return true;
        }
    }
    error = "the settings file lists no product for model \"" + model + "\"";
    return false;
}

ObjectLayout::Found ObjectLayout::Resolve(const std::string& section, const std::string& name,
                                          const Product& product, Oid& oid) const {
    auto value = m_settings.Get(section, name);
    if (!value) {
        return Found::Missing;
    }
    if (!value->empty() && (*value)[0] == '.') {
        auto parsed = ParseOid(*value);
        if (!parsed) {
            return Found::NotAvailable;
        }
        oid = *parsed;
        return Found::Here;
    }
    // A redirection is followed once, as the console does; N/A and anything
    // else that is not a dotted OID means the product lacks the object.
    std::string target = *value == "PRODUCTSPECIFIC" ? product.section : *value;
    auto redirected = m_settings.Get(target, name);
    if (!redirected || redirected->empty() || (*redirected)[0] != '.') {
        return Found::NotAvailable;
    }
    auto parsed = ParseOid(*redirected);
    if (!parsed) {
        return Found::NotAvailable;
    }
    oid = *parsed;
    return Found::Here;
}

std::vector<ObjectPlace> ObjectLayout::PlacesFor(const Product& product) const {
    std::vector<ObjectPlace> places;
    for (const auto& [name, oid] : m_mib) {
        places.push_back({name, oid, false});
    }
    for (const auto& name : m_entNames) {
        Oid current;
        Found inCurrent = Resolve("OID", name, product, current);
        if (!product.older) {
            if (inCurrent == Found::Here) {
                places.push_back({name, Concat(product.prefix, current), false});
            }
            continue;
        }
        Oid old;
        Found inOld = Resolve("TRK2200OLD", name, product, old);
        if (inOld == Found::Missing) {
            if (inCurrent == Found::Here) {
                places.push_back({name, Concat(product.prefix, current), false});
            }
            continue;
        }
        if (inOld == Found::NotAvailable) {
            continue;
        }
        places.push_back({name, Concat(product.prefix, old), false});
        // The older model answers the current modification date object with
        // "1"; that answer is how the console tells the two layouts apart.
        if (name == "EntOidModDate" && inCurrent == Found::Here && current != old) {
            places.push_back({name, Concat(product.prefix, current), true});
        }
    }
    return places;
}

const Oid& ObjectLayout::Mib(const std::string& name) const {
    for (const auto& entry : m_mib) {
        if (entry.first == name) {
            return entry.second;
        }
    }
    static const Oid kNone;
    return kNone;
}

}  // namespace simfleet
