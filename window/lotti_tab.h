#pragma once
// The tab "Lotti": the import batches, newest first, as `crvxml lotti` lists
// them, and the button that takes the selected one back.
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "db/batch_list.h"
#include "numbers/regional.h"

class QWidget;

namespace crv::window {

struct Controls;
class Twips;

// Builds the tab's controls on its page: the list fills the page above the
// button and follows its size.
void buildLottiTab(QWidget* page, const Twips& twips, Controls& c);

// Shows the batches in the list, each with the delivery it came from as the
// register knows it (`files`, by batch; blank for the others); `problema`,
// when not empty, says why the list could not be read (shown under it).
void mostraLotti(const Controls& c, const std::vector<db::Lotto>& lotti, const std::map<std::int64_t, std::string>& files,
                 const Regional& regional, const QString& problema = {});

// The counter of the batch selected in the list; 0 when none is.
qint64 lottoScelto(const Controls& c);

}  // namespace crv::window
