#include "text/system_reason.h"

#include <utility>

namespace crv {

std::string motivoDiSistema(std::error_code error)
{
    using E = std::errc;
    static const std::pair<E, const char*> kTexts[] = {
        {E::permission_denied, "permesso negato"},
        {E::operation_not_permitted, "operazione non permessa"},
        {E::no_such_file_or_directory, "file o cartella inesistente"},
        {E::is_a_directory, "è una cartella"},
        {E::not_a_directory, "una parte del percorso non è una cartella"},
        {E::read_only_file_system, "il disco è di sola lettura"},
        {E::no_space_on_device, "spazio su disco esaurito"},
        {E::io_error, "errore di lettura o scrittura del disco"},
        {E::too_many_files_open, "troppi file aperti"},
        {E::too_many_files_open_in_system, "troppi file aperti"},
        {E::filename_too_long, "nome del file troppo lungo"},
        {E::too_many_symbolic_link_levels, "troppi collegamenti simbolici nel percorso"},
        {E::file_exists, "il file esiste già"},
        {E::device_or_resource_busy, "file o dispositivo occupato"},
        {E::text_file_busy, "file in uso"},
        {E::not_enough_memory, "memoria insufficiente"},
        {E::file_too_large, "file troppo grande"},
    };
    for (const auto& [condition, text] : kTexts)
        if (error == condition) return text;
    return error.message() + " (errore " + std::to_string(error.value()) + ")";
}

}  // namespace crv
