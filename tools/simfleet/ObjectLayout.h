#pragma once

#include <string>
#include <vector>

#include "IniFile.h"
#include "Oid.h"

namespace simfleet {

// The identity of one product, as the settings file describes it.
struct Product {
    std::string key;      // product key of [SysObjID]; empty for an unlisted product
    Oid sysObjectId;      // what the terminal answers for its sysObjectID
    Oid prefix;           // enterprise prefix of its EntOid objects
    std::string section;  // its product OID section ("OTHER" when unlisted)
    bool older = false;   // the older model: its section name contains "2200"
};

// Kinds of object a terminal serves; the kind says the type and whether a SET may change it.
enum class ObjectKind { Text, WritableText, Integer, WritableInteger, ObjectId, Column };

// One object a terminal of a product serves: its OID name, where it lives,
// and, for the older model's current-layout modification date, a fixed answer.
struct ObjectPlace {
    std::string name;
    Oid oid;  // complete OID; for a table column the column without an index
    bool fixedAnswer = false;
};

// The objects and products of the console's settings file, so that the
// simulated terminals serve exactly what the console asks for.
class ObjectLayout {
public:
    // Reads the OID names, [SysObjID], [PSectXlate], the product sections and
    // [TRK2200OLD]. Fails (with a reason) when an essential name is missing.
    static bool Load(const IniFile& settings, ObjectLayout& layout, std::string& error);

    const std::vector<Product>& Products() const { return m_products; }
    // "current", "older", a product key, or a dotted sysObjectID (listed or not).
    bool FindProduct(const std::string& model, Product& product, std::string& error) const;
    // Every object a terminal of `product` serves, named as in the settings file.
    std::vector<ObjectPlace> PlacesFor(const Product& product) const;

    const Oid& Mib(const std::string& name) const;  // a MIB-II name's OID
    std::string RegFileName() const { return m_regFileName; }
    std::string GetCommunity() const { return m_getCommunity; }
    std::string SetCommunity() const { return m_setCommunity; }

private:
    enum class Found { Missing, NotAvailable, Here };
    Found Resolve(const std::string& section, const std::string& name, const Product& product,
                  Oid& oid) const;
    Product ProductFor(const Oid& sysObjectId) const;

    IniFile m_settings;
    std::vector<std::pair<std::string, Oid>> m_mib;
    std::vector<std::string> m_entNames;
    std::vector<Product> m_products;
    std::string m_regFileName;
    std::string m_getCommunity;
    std::string m_setCommunity;
};

// How a terminal answers for and accepts values of the object of this name.
ObjectKind KindOf(const std::string& name);

}  // namespace simfleet
