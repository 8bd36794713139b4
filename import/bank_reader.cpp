#include "import/bank_reader.h"

#include <string_view>

#include "import/case_error.h"
#include "import/value_limits.h"
#include "xml/xml_document.h"

namespace crv {
namespace {

std::string lower(std::string_view text)
{
    std::string out(text);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

std::string_view trim(std::string_view text)
{
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    return text;
}

bool named(pugi::xml_node node, std::string_view name)
{
    return std::string_view(node.name()) == name;
}

// The attribute in the given position (0-based); the format puts the value
// there, so an element without it cannot be read.
std::string_view valoreIn(pugi::xml_node node, int position)
{
    pugi::xml_attribute a = node.first_attribute();
    for (int k = 0; k < position && a; ++k) a = a.next_attribute();
    if (!a)
        throw CaseInputError(position == 0 ? "manca l'attributo con il valore" : "manca il secondo attributo",
                             node.name(), nodeMarkup(node));
    return a.value();
}

std::string attributo(pugi::xml_node node, int position)
{
    return std::string(valoreIn(node, position));
}

const std::string kTrattini(20, '-');

}  // namespace

void BankReader::nuovaPratica()
{
    garanteProvincia_.clear();
}

void BankReader::prendi(std::string Case::* valore, std::string_view testo)
{
    if (const LimitiValori* limiti = store_.limiti()) limiti->verifica(valore, testo);
    v_.*valore = testo;
}

Amount BankReader::importo(pugi::xml_node element, std::string_view text) const
{
    return importoDelCampo(element.name(), text, regional_);
}

void BankReader::leggiFiglio(pugi::xml_node, pugi::xml_node child)
{
    const std::string name = lower(child.name());
    if (name == "procedura") {
        attributo(child, 0);
        if (std::string_view(child.first_attribute().name()) == "codice")
            prendi(&Case::CodiceProcedura, child.first_attribute().value());
    } else if (name == "data_scadenza") {
        attributo(child, 0);
        if (std::string_view(child.first_attribute().name()) == "valore") v_.DataScadenza = child.first_attribute().value();
    } else if (name == "posizione") {
        for (const pugi::xml_attribute a : child.attributes()) {
            if (std::string_view(a.name()) == "numero")
                prendi(&Case::CodicePratica, a.value());
            else if (std::string_view(a.name()) == "rif_banca")
                prendi(&Case::IdAffidamento, a.value());
        }
    } else if (name == "intestatario") {
        intestatario(child);
        if (++v_.ContaIntestatari == 1) store_.ScriviPratica(v_, memo_.text());
        store_.LeggiContatore();
        azzeraRapporto();
        v_.SpeseRecupero = Amount();
        v_.InteressiMora = Amount();
    } else if (name == "cointestatario1" || name == "partecipante") {
        garante(child);
    } else if (name == "rapporticc" || name == "rapportirt") {
        rapporti(child);
    } else if (name == "totali") {
        totali(child);
    } else if (name == "note") {
        note(child);
    } else if (name == "recapiti_telefonici") {
        recapiti(child);
    }
}

void BankReader::azzeraRapporto()
{
    v_.Periodo.clear();
    v_.NumeroFattura.clear();
    v_.DataFattura.clear();
    v_.Insoluto = Amount();
}

void BankReader::intestatario(pugi::xml_node holder)
{
    v_.ContaNumeri = 0;
    for (const pugi::xml_node e : holder.children()) {
        if (e.type() != pugi::node_element) continue;
        if (!e.first_attribute()) {
            if (lower(e.name()) != "domicilio") continue;
            for (const pugi::xml_node d : e.children()) {
                if (d.type() != pugi::node_element) continue;
                const bool known = named(d, "ind1") || named(d, "cap") || named(d, "localita") ||
                                   named(d, "comune") || named(d, "Comune") || named(d, "provincia") ||
                                   named(d, "tel_Casa") || named(d, "tel_Pers");
                if (!known) continue;
                const std::string_view v = valoreIn(d, 0);
                if (named(d, "ind1")) {
                    prendi(&Case::Indirizzo, v);
                } else if (named(d, "cap")) {
                    prendi(&Case::Cap, v);
                } else if (named(d, "localita") || named(d, "comune") || named(d, "Comune")) {
                    v_.Localita = v;
                } else if (named(d, "provincia")) {
                    prendi(&Case::Provincia, v);
                } else if (named(d, "tel_Casa")) {
                    v_.Telefono = v;
                } else if (named(d, "tel_Pers")) {
                    if (v_.Telefono.empty())
                        v_.Telefono = v;
                    else
                        v_.AltriTelefoni[1] = v;
                }
            }
            continue;
        }
        const std::string_view en = e.name();
        for (const pugi::xml_attribute a : e.attributes()) {
            const std::string_view an = a.name();
            const std::string_view v = trim(a.value());
            const bool valore = an == "valore";
            if (en == "denominazione") {
                prendi(&Case::Nominativo, v);
            } else if (en == "cf_pi" || en == "codice_fiscale") {
                prendi(&Case::CodiceFiscale, v);
            } else if (en == "ind") {
                if (valore && v_.Indirizzo.empty()) prendi(&Case::Indirizzo, v);
            } else if (en == "local_nascita" || en == "luogo_nascita") {
                prendi(&Case::LuogoNascita, v);
            } else if (en == "data_nascita") {
                v_.DataNascita = v;
            } else if (en == "cap") {
                if (valore && v_.Cap.empty()) prendi(&Case::Cap, v);
            } else if (en == "localita") {
                if (valore && v_.Localita.empty()) v_.Localita = v;
            } else if (en == "provincia") {
                if (valore && v_.Provincia.empty()) prendi(&Case::Provincia, v);
            } else if (en == "tel") {
                if (an == "tipo") tipoNumero_ = v;
                if (valore && !v.empty()) {
                    // Slot 0 of the additional numbers stays empty here.
                    if (v_.ContaNumeri == 0) {
                        v_.Telefono = v;
                    } else if (v_.ContaNumeri <= 3) {
                        const auto k = static_cast<std::size_t>(v_.ContaNumeri);
                        v_.AltriTelefoni[k] = v;
                        v_.TipiTelefono[k] = tipoNumero_;
                    }
                    ++v_.ContaNumeri;
                }
            }
        }
    }
}

void BankReader::garante(pugi::xml_node guarantor)
{
    // The first value met wins.
    for (const pugi::xml_node e : guarantor.children()) {
        if (e.type() != pugi::node_element) continue;
        const std::string_view en = e.name();
        for (const pugi::xml_attribute a : e.attributes()) {
            const bool valore = std::string_view(a.name()) == "valore";
            const std::string_view v = a.value();
            if (en == "denominazione") {
                if (valore && v_.GaranteNome.empty()) v_.GaranteNome = v;
            } else if (en == "ind") {
                if (valore && v_.GaranteIndirizzo.empty()) v_.GaranteIndirizzo = v;
            } else if (en == "cap") {
                if (valore && v_.GaranteCap.empty()) prendi(&Case::GaranteCap, v);
            } else if (en == "localita") {
                if (valore && v_.GaranteComune.empty()) v_.GaranteComune = v;
            } else if (en == "provincia") {
                if (valore && garanteProvincia_.empty()) {
                    garanteProvincia_ = v;
                    v_.GaranteComune.append(" ").append(v);
                }
            } else if (en == "tel") {
                if (valore && v_.GaranteTelefono.empty()) v_.GaranteTelefono = v;
            } else if (en == "tel2" || en == "tel3") {
                if (v_.GaranteTelefono.empty()) v_.GaranteTelefono = v;
            }
        }
    }
}

void BankReader::rapporti(pugi::xml_node relations)
{
    // Only a relations element spelt exactly "rapportiCC" adds a row of its own
    // for each relation.
    const bool rigaRapporto = named(relations, "rapportiCC");
    for (const pugi::xml_node r : relations.children()) {
        if (r.type() != pugi::node_element) continue;
        if (named(r, "rapporto"))
            rapporto(r, rigaRapporto);
        else if (named(r, "totale"))
            totale(r);
    }
}

void BankReader::rapporto(pugi::xml_node r, bool rigaRapporto)
{
    for (const pugi::xml_node f : r.children()) {
        if (f.type() != pugi::node_element) continue;
        const std::string_view fn = f.name();
        if (fn == "rata") {
            rata(f);
            continue;
        }
        if (fn == "servizio") continue;
        const bool known = fn == "abi" || fn == "cab" || fn == "n_assegno" || fn == "numero" ||
                           fn == "numero_cc" || fn == "data_accensione" || fn == "tipo_rapporto" ||
                           fn == "da_recup";
        if (!known) continue;
        const std::string v = attributo(f, 0);
        if (fn == "abi") {
            v_.Periodo = v;
        } else if (fn == "cab" || fn == "n_assegno") {
            v_.Periodo += " " + v;
        } else if (fn == "numero" || fn == "numero_cc") {
            v_.Periodo += " " + v;
            v_.NumeroFattura = v;
        } else if (fn == "data_accensione") {
            v_.Periodo += " " + v;
            v_.DataFattura = v;
        } else if (fn == "tipo_rapporto") {
            v_.Periodo += "  " + v;
        } else if (fn == "da_recup") {
            v_.Insoluto = importo(f, v);
            v_.Capitale += v_.Insoluto;
        }
    }
    if (rigaRapporto) store_.InserisciRata(v_, TipoRata::Rapporto);
    azzeraRapporto();
}

void BankReader::rata(pugi::xml_node f)
{
    v_.NumeroFattura = attributo(f, 0);
    v_.DataFattura = attributo(f, 1);
    // The unpaid amount is not cleared between instalments: one without its
    // own `insoluto` is inserted with the previous one's.
    for (const pugi::xml_node g : f.children()) {
        if (g.type() != pugi::node_element) continue;
        if (named(g, "int_mora")) {
            v_.InteressiMora += importo(g, valoreIn(g, 0));
        } else if (named(g, "insoluto")) {
            v_.Insoluto = importo(g, valoreIn(g, 0));
            v_.Capitale += v_.Insoluto;
        }
    }
    store_.InserisciRata(v_, TipoRata::Rata);
}

void BankReader::totale(pugi::xml_node r)
{
    v_.Insoluto = Amount();
    v_.SpeseRecupero = Amount();
    v_.InteressiMora = Amount();
    for (const pugi::xml_node t : r.children()) {
        if (t.type() != pugi::node_element) continue;
        if (named(t, "insoluto")) {
            v_.Insoluto = importo(t, valoreIn(t, 0));
            v_.Capitale = v_.Insoluto;
        } else if (named(t, "int_mora")) {
            v_.InteressiMora = importo(t, valoreIn(t, 0));
        } else if (named(t, "spese")) {
            v_.SpeseRecupero = importo(t, valoreIn(t, 0));
        }
    }
    store_.SommaTotaliRapporto(v_);
}

void BankReader::totali(pugi::xml_node e)
{
    // The totals are checked as amounts but not stored: they reach the case
    // only through the memo.
    for (const pugi::xml_node t : e.children()) {
        if (t.type() != pugi::node_element) continue;
        if (named(t, "totale_cc") || named(t, "totale_ra") || named(t, "totale_gen")) importo(t, valoreIn(t, 0));
    }
    store_.ImpostaTotali(v_);
}

void BankReader::note(pugi::xml_node e)
{
    std::string text;
    for (const pugi::xml_node n : e.children()) {
        if (n.type() != pugi::node_element || !named(n, "nota")) continue;
        text += attributo(n, 0) + " " + attributo(n, 1) + "\r\n";
    }
    store_.AnteponiMemo(text);
}

void BankReader::recapiti(pugi::xml_node e)
{
    std::string text;
    for (const pugi::xml_node k : e.children()) {
        if (k.type() != pugi::node_element || !named(k, "ndc")) continue;
        text += kTrattini + "\r\n";
        text += "NDC = " + attributo(k, 0) + "\r\n";
        for (const pugi::xml_node l : k.children())
            if (l.type() == pugi::node_element) text += std::string(l.name()) + " : " + attributo(l, 0) + "\r\n";
        text += kTrattini + "\r\n";
    }
    store_.AnteponiMemo(text);
}

}  // namespace crv
