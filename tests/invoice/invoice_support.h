#pragma once
// Helpers of the invoice tests: small invoices written inline, and the Qt
// application that fonts and painting need.
#include <string>

namespace crv::test {

// The usual root: a prefixed FatturaElettronica with unprefixed children.
std::string invoiceXml(const std::string& children);

// A header with a seller and a buyer company.
std::string standardHeader();

// A body: document data (type, number, date, total), then `goods` inside
// DatiBeniServizi and `more` after it (payment, attachments).
std::string body(const std::string& tipo, const std::string& numero, const std::string& goods,
                 const std::string& more = {});

// One DettaglioLinee with these six values.
std::string line(const std::string& numero, const std::string& descrizione, const std::string& quantita,
                 const std::string& prezzo, const std::string& totale, const std::string& aliquota);

// A QGuiApplication on the offscreen platform, made before the first test
// (and on first use, for a test run on its own), ended after the last.
void ensureGuiApplication();

}  // namespace crv::test
