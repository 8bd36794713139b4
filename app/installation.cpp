#include "app/installation.h"

#include <QString>

#include "app/settings.h"

namespace crv {

namespace {

// "si", "sì", "1", "vero", "true", "yes" (any case) switch a button on.
bool yes(const std::string& value)
{
    const QString v = QString::fromStdString(value).trimmed().toLower();
    return v == QLatin1String("si") || v == QStringLiteral("sì") || v == QLatin1String("1") ||
           v == QLatin1String("vero") || v == QLatin1String("true") || v == QLatin1String("yes");
}

}  // namespace

std::filesystem::path installazioneIni(const SuitePaths& paths)
{
    return paths.dataDir() / "Crv_XML_installazione.ini";
}

Installazione LeggiInstallazione(const SuitePaths& paths)
{
    const std::filesystem::path file = installazioneIni(paths);
    Installazione result;
    result.presentazioneBanca =
        QString::fromStdString(LeggiIni(file, "presentazione=")).trimmed().toLower() == QLatin1String("banca");
    result.mostraImportaRove = yes(LeggiIni(file, "importa_rove="));
    result.mostraFattElett = yes(LeggiIni(file, "fattura_elettronica="));
    return result;
}

}  // namespace crv
