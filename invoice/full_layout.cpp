#include "invoice/full_layout.h"

#include <algorithm>
#include <utility>

#include "invoice/invoice_codes.h"
#include "invoice/value_format.h"

namespace crv {
namespace {

// Sizes in whole or half points (see the painter).
constexpr float kTitle = 13;
constexpr float kSection = 9.5f;
constexpr float kBody = 8;
constexpr float kSmall = 7;
constexpr float kLabel = 6.5f;

constexpr std::uint32_t kDocumentBand = 0xD6E0EA;
constexpr std::uint32_t kSectionBand = 0xE9EDF1;
constexpr std::uint32_t kHeadBand = 0xF3F3F3;
constexpr std::uint32_t kTotalBand = 0xF7F7F7;

// Room a heading keeps with what follows it: a head and a row or two.
constexpr float kKeep = 48;

using Pairs = std::vector<std::pair<std::string, std::string>>;

Para body(std::string text, Allinea a = Allinea::Sinistra)
{
    return Para{std::move(text), kBody, false, a};
}

Para strong(std::string text, Allinea a = Allinea::Sinistra)
{
    return Para{std::move(text), kBody, true, a};
}

Para small(std::string text)
{
    return Para{std::move(text), kSmall, false, Allinea::Sinistra};
}

// A cell of one paragraph; a blank cell for an empty text.
Cell cell(std::string text, Allinea a = Allinea::Sinistra, bool bold = false)
{
    if (text.empty()) return {};
    return Cell{{Para{std::move(text), kBody, bold, a}}};
}

// Texts joined by a separator, the empty ones left out.
std::string joined(std::initializer_list<std::string> parts, const std::string& separator)
{
    std::string out;
    for (const std::string& p : parts) {
        if (p.empty()) continue;
        if (!out.empty()) out += separator;
        out += p;
    }
    return out;
}

std::string labelled(const std::string& label, const std::string& value)
{
    return value.empty() ? std::string() : label + value;
}

class Layout {
public:
    Layout(const FullView& view, const Regional& regional) : view_(view), r_(regional), flow_(face_) {}

    std::vector<Sheet> run()
    {
        title();
        checks();
        transmission();
        parties();
        otherData(view_.fattura.altriDatiTestata);
        const std::size_t n = view_.fattura.documenti.size();
        if (n == 0) paragraph("Il file non contiene documenti (nessun FatturaElettronicaBody).");
        for (std::size_t i = 0; i < n; ++i) document(view_.fattura.documenti[i], i + 1, n);
        return flow_.finish(view_.nomeFile);
    }

private:
    std::string amount(const std::string& t) const { return formatAmountText(t, r_); }
    std::string given(const std::string& t) const { return formatAsGiven(t, r_); }
    std::string percent(const std::string& t) const { return formatPercent(t, r_); }
    std::string date(const std::string& t) const { return formatDateText(t, r_); }

    void section(const std::string& text)
    {
        flow_.gap(6);
        flow_.heading(text, kSection, kSectionBand, kKeep);
    }

    void paragraph(const std::string& text)
    {
        RowStyle style;
        style.ruleBelow = false;
        flow_.row({Column{}}, {cell(text)}, style);
    }

    // Labels above their values, at most `columns` to a row, each as wide as
    // it needs where the row has room (a value is cut only when wider than
    // a row); pairs without a value are left out.
    void fields(const Pairs& pairs, int columns)
    {
        struct Shown {
            const std::pair<std::string, std::string>* pair;
            float need;
        };
        std::vector<Shown> shown;
        for (const auto& p : pairs) {
            if (p.second.empty()) continue;
            const float need = std::max(face_.width(p.first, kLabel, true), face_.width(p.second, kBody, false)) + 6;
            shown.push_back({&p, std::min(need, kContentWidth)});
        }
        const float share = kContentWidth / static_cast<float>(columns);
        RowStyle style;
        style.ruleBelow = false;
        for (std::size_t i = 0; i < shown.size();) {
            // As many pairs as fit, each given at least an even share of the row.
            std::size_t end = i;
            float used = 0;
            while (end < shown.size() && end - i < static_cast<std::size_t>(columns) &&
                   (end == i || used + std::max(shown[end].need, share) <= kContentWidth + 0.01f)) {
                used += std::max(shown[end].need, share);
                ++end;
            }
            std::vector<float> widths;
            std::vector<Cell> cells;
            for (std::size_t k = i; k < end; ++k) {
                widths.push_back(std::max(shown[k].need, share));
                cells.push_back(Cell{{Para{shown[k].pair->first, kLabel, true}, body(shown[k].pair->second)}});
            }
            widths.back() = 0;  // the last takes what is left
            flow_.row(columnsOf(widths), cells, style);
            i = end;
        }
    }

    // The width a column needs for its widest single text (the head's
    // longest word at least), up to `most`.
    float fitted(std::size_t c, const std::vector<Para>& head, const std::vector<std::vector<Cell>>& rows,
                 const std::vector<Cell>& total, float most) const
    {
        float need = 0;
        const auto measure = [&](const Cell& cell) {
            for (const Para& p : cell.paras) need = std::max(need, face_.width(p.text, p.size, p.bold));
        };
        for (const auto& row : rows) {
            if (c < row.size()) measure(row[c]);
        }
        if (c < total.size()) measure(total[c]);
        if (c < head.size()) {
            std::size_t from = 0;
            const std::string& h = head[c].text;
            while (from <= h.size()) {
                const std::size_t to = std::min(h.find(' ', from), h.size());
                need = std::max(need, face_.width(h.substr(from, to - from), kLabel, true));
                from = to + 1;
            }
        }
        return std::min(need + 6, most);
    }

    // A table: its head drawn again on every sheet it continues on. A width
    // above 0 is fixed, 0 shares what is left, below 0 fits the column's
    // texts up to that many points.
    void table(std::vector<float> widths, const std::vector<Para>& head, const std::vector<std::vector<Cell>>& rows,
               const std::vector<Cell>& total = {}, const std::vector<RowStyle>& styles = {})
    {
        for (std::size_t c = 0; c < widths.size(); ++c) {
            if (widths[c] < 0) widths[c] = fitted(c, head, rows, total, -widths[c]);
        }
        const std::vector<Column> cols = columnsOf(widths);
        const auto drawHead = [this, cols, head] {
            std::vector<Cell> cells;
            for (const Para& p : head) cells.push_back(Cell{{Para{p.text, kLabel, true, p.allinea}}});
            RowStyle style;
            style.fill = kHeadBand;
            flow_.row(cols, cells, style);
        };
        flow_.keep(kKeep);
        flow_.beginTable(drawHead);
        for (std::size_t i = 0; i < rows.size(); ++i) flow_.row(cols, rows[i], i < styles.size() ? styles[i] : RowStyle{});
        if (!total.empty()) {
            RowStyle style;
            style.fill = kTotalBand;
            flow_.row(cols, total, style);
        }
        flow_.endTable();
    }

    void title()
    {
        RowStyle style;
        style.ruleBelow = false;
        flow_.row({Column{}}, {Cell{{Para{"Fattura elettronica", kTitle, true}, body("File: " + view_.nomeFile)}}},
                  style);
    }

    void checks()
    {
        section("Verifiche");
        const std::vector<Column> cols = columnsOf({90, 0});
        Cell verdict{{strong(verdictTitle(view_.verifica))}};
        for (const SchemaViolation& v : view_.verifica.violations) verdict.paras.push_back(small(violationText(v)));
        flow_.row(cols, {cell("Schema"), verdict});
        if (!view_.firmato) {
            flow_.row(cols, {cell("Firma"), cell("File XML non firmato")});
            return;
        }
        if (view_.firme.empty()) flow_.row(cols, {cell("Firma"), cell("Busta senza firme")});
        for (std::size_t i = 0; i < view_.firme.size(); ++i) {
            const SignatureFacts& f = view_.firme[i];
            Cell facts;
            facts.paras.push_back(strong(f.firmatario.empty() ? "Firmatario non indicato nel certificato" : f.firmatario));
            for (const std::string& line :
                 {labelled("Codice fiscale: ", f.codiceFiscale), labelled("Identificativo: ", f.identificativo),
                  labelled("Organizzazione: ", f.organizzazione),
                  labelled("Data della firma (dichiarata dal firmatario): ", f.dataFirma),
                  labelled("Certificato emesso da: ", f.emittente),
                  f.validoDal.empty() && f.validoAl.empty()
                      ? std::string()
                      : joined({labelled("Certificato valido dal ", f.validoDal), labelled("al ", f.validoAl)}, " ")}) {
                if (!line.empty()) facts.paras.push_back(body(line));
            }
            facts.paras.push_back(strong("Esito: " + f.esito));
            const std::string label =
                view_.firme.size() == 1 ? "Firma" : "Firma " + std::to_string(i + 1) + " di " + std::to_string(view_.firme.size());
            flow_.row(cols, {cell(label), facts});
        }
    }

    void transmission()
    {
        const Trasmissione& t = view_.fattura.trasmissione;
        const std::string formato = t.FormatoTrasmissione.empty() ? t.versione : t.FormatoTrasmissione;
        section("Trasmissione");
        fields({{"Formato", codiceDescritto(ElencoCodici::FormatoTrasmissione, formato)},
                {"Trasmittente", t.IdTrasmittente.IdPaese + t.IdTrasmittente.IdCodice},
                {"Progressivo invio", t.ProgressivoInvio},
                {"Codice destinatario", t.CodiceDestinatario},
                {"PEC destinatario", t.PECDestinatario},
                {"Telefono trasmittente", t.Telefono},
                {"Email trasmittente", t.Email},
                {"Soggetto emittente", codiceDescritto(ElencoCodici::SoggettoEmittente, view_.fattura.SoggettoEmittente)}},
               4);
    }

    std::string addressLine(const Indirizzo& a) const
    {
        return joined({a.Indirizzo, a.NumeroCivico}, ", ");
    }

    std::string townLine(const Indirizzo& a) const
    {
        return joined({a.CAP, a.Comune, a.Provincia.empty() ? std::string() : "(" + a.Provincia + ")", a.Nazione}, " ");
    }

    Cell party(const Soggetto& s) const
    {
        static const char* const roles[] = {"CEDENTE / PRESTATORE", "RAPPRESENTANTE FISCALE DEL CEDENTE",
                                            "CESSIONARIO / COMMITTENTE", "RAPPRESENTANTE FISCALE DEL CESSIONARIO",
                                            "TERZO INTERMEDIARIO O SOGGETTO EMITTENTE"};
        Cell c;
        c.paras.push_back(Para{roles[static_cast<int>(s.ruolo)], kLabel, true});
        const std::string name =
            s.Denominazione.empty() ? joined({s.Titolo, s.Nome, s.Cognome}, " ") : joined({s.Titolo, s.Denominazione}, " ");
        if (!name.empty()) c.paras.push_back(Para{name, 9, true});
        const std::string albo = joined({s.AlboProfessionale, s.ProvinciaAlbo.empty() ? "" : "(" + s.ProvinciaAlbo + ")",
                                         labelled("n. ", s.NumeroIscrizioneAlbo),
                                         labelled("del ", date(s.DataIscrizioneAlbo))},
                                        " ");
        const std::string rea =
            joined({joined({s.UfficioREA, s.NumeroREA}, " "), labelled("capitale sociale ", amount(s.CapitaleSociale)),
                    codiceDescritto(ElencoCodici::SocioUnico, s.SocioUnico),
                    codiceDescritto(ElencoCodici::StatoLiquidazione, s.StatoLiquidazione)},
                   " - ");
        const std::string stabile = joined({addressLine(s.StabileOrganizzazione), townLine(s.StabileOrganizzazione)}, ", ");
        for (const std::string& line :
             {labelled("Partita IVA ", s.IdFiscaleIVA.IdPaese + s.IdFiscaleIVA.IdCodice),
              labelled("Codice fiscale ", s.CodiceFiscale), labelled("Codice EORI ", s.CodEORI), addressLine(s.Sede),
              townLine(s.Sede), labelled("Stabile organizzazione: ", stabile), labelled("Albo: ", albo),
              labelled("REA: ", rea), labelled("Regime fiscale: ", codiceDescritto(ElencoCodici::RegimeFiscale, s.RegimeFiscale)),
              joined({labelled("Tel. ", s.Telefono), labelled("Fax ", s.Fax), labelled("Email ", s.Email)}, " - "),
              labelled("Riferimento amministrazione: ", s.RiferimentoAmministrazione)}) {
            if (!line.empty()) c.paras.push_back(body(line));
        }
        return c;
    }

    void parties()
    {
        const std::vector<Soggetto>& all = view_.fattura.soggetti;
        if (all.empty()) return;
        section("Soggetti");
        const std::vector<Column> cols = columnsOf({0, 0});
        for (std::size_t i = 0; i < all.size(); i += 2) {
            std::vector<Cell> cells{party(all[i])};
            cells.push_back(i + 1 < all.size() ? party(all[i + 1]) : Cell{});
            flow_.row(cols, cells);
        }
    }

    void otherData(const std::vector<Campo>& campi)
    {
        if (campi.empty()) return;
        section("Altri dati");
        std::vector<std::vector<Cell>> rows;
        for (const Campo& c : campi) {
            std::string value = c.valore;
            if (c.formato == Campo::Formato::Data || c.formato == Campo::Formato::DataOra) value = date(value);
            else if (c.formato == Campo::Formato::Importo) value = amount(value);
            rows.push_back({cell(c.etichetta), cell(value)});
        }
        table({190, 0}, {Para{"Dato"}, Para{"Valore"}}, rows);
    }

    void document(const Documento& d, std::size_t i, std::size_t n)
    {
        flow_.gap(10);
        flow_.heading("Documento " + std::to_string(i) + " di " + std::to_string(n), 10.5f, kDocumentBand, 90);
        fields({{"Tipo documento", codiceDescritto(ElencoCodici::TipoDocumento, d.TipoDocumento)},
                {"Numero", d.Numero},
                {"Data", date(d.Data)},
                {"Divisa", d.Divisa},
                {"Totale documento", amount(d.ImportoTotaleDocumento)},
                {"Arrotondamento", amount(d.Arrotondamento)},
                {"Art. 73 DPR 633/72", d.Art73}},
               5);
        if (!d.causali.empty()) {
            Cell causali{{Para{"Causale", kLabel, true}}};
            for (const std::string& c : d.causali) causali.paras.push_back(body(c));
            RowStyle style;
            style.ruleBelow = false;
            flow_.row({Column{}}, {causali}, style);
        }
        if (!d.sconti.empty()) {
            std::vector<std::vector<Cell>> rows;
            for (const ScontoMaggiorazione& s : d.sconti)
                rows.push_back({cell(codiceDescritto(ElencoCodici::TipoScontoMaggiorazione, s.Tipo)),
                                cell(percent(s.Percentuale), Allinea::Destra), cell(amount(s.Importo), Allinea::Destra)});
            section("Sconti e maggiorazioni sul documento");
            table({0, -80, -90}, {Para{"Tipo"}, Para{"Percentuale", 0, false, Allinea::Destra},
                                          Para{"Importo", 0, false, Allinea::Destra}},
                  rows);
        }
        references(d);
        otherData(d.altriDati);
        lines(d);
        summary(d);
        withholding(d);
        payments(d);
        attachments(d);
    }

    void references(const Documento& d)
    {
        if (d.riferimenti.empty()) return;
        static const char* const kinds[] = {"Ordine d'acquisto", "Contratto", "Convenzione", "Ricezione",
                                            "Fattura collegata", "Stato avanzamento lavori (fase)", "Documento di trasporto"};
        std::vector<std::vector<Cell>> rows;
        for (const Riferimento& r : d.riferimenti) {
            std::string righe;
            for (const std::string& l : r.righe) righe += (righe.empty() ? "" : ", ") + l;
            rows.push_back({cell(kinds[static_cast<int>(r.tipo)]), cell(r.IdDocumento), cell(date(r.Data)), cell(righe),
                            cell(joined({labelled("item ", r.NumItem), labelled("commessa ", r.CodiceCommessaConvenzione),
                                         labelled("CUP ", r.CodiceCUP), labelled("CIG ", r.CodiceCIG)},
                                        " - "))});
        }
        section("Riferimenti");
        table({-120, 0, -60, -80, 0},
              {Para{"Riferimento"}, Para{"Documento"}, Para{"Data"}, Para{"Righe"}, Para{"Altri dati"}}, rows);
    }

    void lines(const Documento& d)
    {
        if (d.linee.empty()) return;
        std::vector<std::vector<Cell>> rows;
        for (const Linea& l : d.linee) {
            Cell codes;
            for (const CodiceArticolo& c : l.codici) codes.paras.push_back(small(joined({c.CodiceTipo, c.CodiceValore}, " ")));
            Cell description;
            if (!l.Descrizione.empty()) description.paras.push_back(body(l.Descrizione));
            const std::string period =
                joined({labelled("dal ", date(l.DataInizioPeriodo)), labelled("al ", date(l.DataFinePeriodo))}, " ");
            for (const std::string& extra :
                 {labelled("Periodo ", period),
                  labelled("Natura ", codiceDescritto(ElencoCodici::Natura, l.Natura)),
                  labelled("Tipo: ", codiceDescritto(ElencoCodici::TipoCessionePrestazione, l.TipoCessionePrestazione)),
                  l.Ritenuta.empty() ? std::string() : "Soggetta a ritenuta: " + l.Ritenuta,
                  labelled("Riferimento amministrazione: ", l.RiferimentoAmministrazione)}) {
                if (!extra.empty()) description.paras.push_back(small(extra));
            }
            for (const AltroDatoGestionale& a : l.altriDati) {
                const std::string data = joined({a.RiferimentoTesto, given(a.RiferimentoNumero), date(a.RiferimentoData)}, " - ");
                description.paras.push_back(small(a.TipoDato.empty() ? data : a.TipoDato + (data.empty() ? "" : ": " + data)));
            }
            Cell discounts;
            for (const ScontoMaggiorazione& s : l.sconti)
                discounts.paras.push_back(
                    Para{joined({s.Tipo, percent(s.Percentuale), amount(s.Importo)}, " "), kSmall, false, Allinea::Destra});
            Cell vat;
            if (!l.AliquotaIVA.empty()) vat.paras.push_back(body(percent(l.AliquotaIVA), Allinea::Destra));
            if (!l.Natura.empty()) vat.paras.push_back(body(l.Natura, Allinea::Destra));
            rows.push_back({cell(l.NumeroLinea), codes, description, cell(given(l.Quantita), Allinea::Destra),
                            cell(l.UnitaMisura), cell(given(l.PrezzoUnitario), Allinea::Destra), discounts,
                            cell(amount(l.PrezzoTotale), Allinea::Destra), vat});
        }
        section("Beni e servizi");
        table({-30, -80, 0, -70, -40, -80, -70, -80, -50},
              {Para{"N."}, Para{"Codice"}, Para{"Descrizione"}, Para{"Quantità", 0, false, Allinea::Destra}, Para{"U.M."},
               Para{"Prezzo unitario", 0, false, Allinea::Destra}, Para{"Sc./magg.", 0, false, Allinea::Destra},
               Para{"Importo", 0, false, Allinea::Destra}, Para{"IVA", 0, false, Allinea::Destra}},
              rows);
    }

    void summary(const Documento& d)
    {
        if (d.riepiloghi.empty()) return;
        std::vector<std::vector<Cell>> rows;
        std::vector<std::string> taxable;
        std::vector<std::string> tax;
        for (const Riepilogo& r : d.riepiloghi) {
            rows.push_back({cell(percent(r.AliquotaIVA), Allinea::Destra),
                            cell(codiceDescritto(ElencoCodici::Natura, r.Natura)),
                            cell(codiceDescritto(ElencoCodici::EsigibilitaIVA, r.EsigibilitaIVA)),
                            cell(r.RiferimentoNormativo), cell(amount(r.SpeseAccessorie), Allinea::Destra),
                            cell(amount(r.Arrotondamento), Allinea::Destra),
                            cell(amount(r.ImponibileImporto), Allinea::Destra), cell(amount(r.Imposta), Allinea::Destra)});
            taxable.push_back(r.ImponibileImporto);
            tax.push_back(r.Imposta);
        }
        const auto sum = [this](const std::vector<std::string>& texts) {
            const auto total = sumAmounts(texts);
            return total ? amount(total->toPlain()) : std::string();
        };
        section("Riepilogo IVA");
        table({-50, 0, -90, 0, -60, -50, -80, -80},
              {Para{"Aliquota", 0, false, Allinea::Destra}, Para{"Natura"}, Para{"Esigibilità"}, Para{"Riferimento normativo"},
               Para{"Spese accessorie", 0, false, Allinea::Destra}, Para{"Arrotond.", 0, false, Allinea::Destra},
               Para{"Imponibile", 0, false, Allinea::Destra}, Para{"Imposta", 0, false, Allinea::Destra}},
              rows,
              {Cell{{strong("Totale")}}, {}, {}, {}, {}, {}, cell(sum(taxable), Allinea::Destra, true),
               cell(sum(tax), Allinea::Destra, true)});
    }

    void withholding(const Documento& d)
    {
        if (!d.ritenute.empty()) {
            std::vector<std::vector<Cell>> rows;
            for (const Ritenuta& r : d.ritenute)
                rows.push_back({cell(codiceDescritto(ElencoCodici::TipoRitenuta, r.TipoRitenuta)), cell(r.CausalePagamento),
                                cell(percent(r.AliquotaRitenuta), Allinea::Destra),
                                cell(amount(r.ImportoRitenuta), Allinea::Destra)});
            section("Ritenuta");
            table({0, -70, -60, -80},
                  {Para{"Tipo ritenuta"}, Para{"Causale pagamento"}, Para{"Aliquota", 0, false, Allinea::Destra},
                   Para{"Importo", 0, false, Allinea::Destra}},
                  rows);
        }
        if (!d.casse.empty()) {
            std::vector<std::vector<Cell>> rows;
            for (const CassaPrevidenziale& c : d.casse) {
                Cell vat;
                if (!c.AliquotaIVA.empty()) vat.paras.push_back(body(percent(c.AliquotaIVA), Allinea::Destra));
                if (!c.Natura.empty()) vat.paras.push_back(body(codiceDescritto(ElencoCodici::Natura, c.Natura)));
                rows.push_back({cell(codiceDescritto(ElencoCodici::TipoCassa, c.TipoCassa)),
                                cell(percent(c.AlCassa), Allinea::Destra), cell(amount(c.ImponibileCassa), Allinea::Destra),
                                cell(amount(c.ImportoContributoCassa), Allinea::Destra), vat, cell(c.Ritenuta),
                                cell(c.RiferimentoAmministrazione)});
            }
            section("Cassa previdenziale");
            table({0, -50, -80, -80, -90, -50, -70},
                  {Para{"Cassa"}, Para{"Aliquota", 0, false, Allinea::Destra}, Para{"Imponibile", 0, false, Allinea::Destra},
                   Para{"Contributo", 0, false, Allinea::Destra}, Para{"IVA", 0, false, Allinea::Destra},
                   Para{"Ritenuta"}, Para{"Rif. amministrazione"}},
                  rows);
        }
        if (!d.BolloVirtuale.empty() || !d.ImportoBollo.empty()) {
            section("Bollo");
            fields({{"Bollo virtuale", d.BolloVirtuale}, {"Importo bollo", amount(d.ImportoBollo)}}, 4);
        }
    }

    void payments(const Documento& d)
    {
        for (std::size_t k = 0; k < d.pagamenti.size(); ++k) {
            const Pagamento& p = d.pagamenti[k];
            section(d.pagamenti.size() == 1 ? std::string("Pagamento")
                                            : "Pagamento " + std::to_string(k + 1) + " di " + std::to_string(d.pagamenti.size()));
            if (!p.CondizioniPagamento.empty())
                paragraph("Condizioni di pagamento: " + codiceDescritto(ElencoCodici::CondizioniPagamento, p.CondizioniPagamento));
            if (p.dettagli.empty()) continue;
            std::vector<std::vector<Cell>> rows;
            for (const DettaglioPagamento& t : p.dettagli) {
                Cell bank;
                for (const std::string& line :
                     {t.IstitutoFinanziario, labelled("IBAN ", t.IBAN),
                      joined({labelled("ABI ", t.ABI), labelled("CAB ", t.CAB)}, " "), labelled("BIC ", t.BIC)}) {
                    if (!line.empty()) bank.paras.push_back(body(line));
                }
                const std::string terms =
                    joined({t.GiorniTerminiPagamento.empty() ? std::string() : t.GiorniTerminiPagamento + " giorni",
                            labelled("dal ", date(t.DataRiferimentoTerminiPagamento))},
                           " ");
                const std::string payee =
                    joined({joined({t.TitoloQuietanzante, t.NomeQuietanzante, t.CognomeQuietanzante}, " "),
                            t.CFQuietanzante.empty() ? std::string() : "(" + t.CFQuietanzante + ")"},
                           " ");
                Cell other;
                for (const std::string& line :
                     {labelled("Beneficiario: ", t.Beneficiario), labelled("Termini: ", terms),
                      labelled("Quietanzante: ", payee), labelled("Ufficio postale: ", t.CodUfficioPostale),
                      joined({labelled("Sconto per pagamento anticipato ", amount(t.ScontoPagamentoAnticipato)),
                              labelled("entro il ", date(t.DataLimitePagamentoAnticipato))},
                             " "),
                      joined({labelled("Penalità per ritardo ", amount(t.PenalitaPagamentiRitardati)),
                              labelled("dal ", date(t.DataDecorrenzaPenale))},
                             " "),
                      labelled("Codice pagamento: ", t.CodicePagamento)}) {
                    if (!line.empty()) other.paras.push_back(body(line));
                }
                rows.push_back({cell(codiceDescritto(ElencoCodici::ModalitaPagamento, t.ModalitaPagamento)),
                                cell(date(t.DataScadenzaPagamento)), cell(amount(t.ImportoPagamento), Allinea::Destra),
                                bank, other});
            }
            table({-130, -60, -80, -200, 0},
                  {Para{"Modalità"}, Para{"Scadenza"}, Para{"Importo", 0, false, Allinea::Destra}, Para{"Banca"},
                   Para{"Altri dati"}},
                  rows);
        }
    }

    void attachments(const Documento& d)
    {
        if (d.allegati.empty()) return;
        std::vector<std::vector<Cell>> rows;
        std::vector<RowStyle> styles;
        for (const AllegatoCompleto& a : d.allegati) {
            const std::string size = formatAsGiven(std::to_string(decodedSize(a.Attachment)), r_) + " byte";
            rows.push_back({cell(std::to_string(attachmentIndex_ + 1)), cell(a.NomeAttachment), cell(a.FormatoAttachment),
                            cell(a.AlgoritmoCompressione), cell(a.DescrizioneAttachment), cell(size, Allinea::Destra), {}});
            RowStyle style;
            style.anchorIndex = attachmentIndex_++;
            style.anchorColumn = 6;
            styles.push_back(style);
        }
        section("Allegati");
        table({-24, 0, -60, -70, 0, -70, 44},
              {Para{"N."}, Para{"Nome"}, Para{"Formato"}, Para{"Compressione"}, Para{"Descrizione"},
               Para{"Dimensione", 0, false, Allinea::Destra}, Para{""}},
              rows, {}, styles);
    }

    const FullView& view_;
    const Regional& r_;
    const Face& face_ = kSheetFace;
    SheetFlow flow_;
    int attachmentIndex_ = 0;  // the file's attachments counted across its documents
};

}  // namespace

std::vector<Sheet> layoutFullView(const FullView& view, const Regional& regional)
{
    return Layout(view, regional).run();
}

}  // namespace crv
