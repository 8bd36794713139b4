#include "db/quiet_sql_warnings.h"

#include <mutex>

#include <QLoggingCategory>

namespace crv::db {
namespace {

std::mutex mutex;
int depth = 0;       // guarded by mutex
bool wasOn = true;   // the setting before the first guard

}  // namespace

QuietSqlWarnings::QuietSqlWarnings()
{
    const std::lock_guard lock(mutex);
    if (depth++ > 0) return;
    QLoggingCategory* const category = QLoggingCategory::defaultCategory();
    if (category == nullptr) return;
    wasOn = category->isWarningEnabled();
    category->setEnabled(QtWarningMsg, false);
}

QuietSqlWarnings::~QuietSqlWarnings()
{
    const std::lock_guard lock(mutex);
    if (--depth > 0) return;
    if (QLoggingCategory* const category = QLoggingCategory::defaultCategory())
        category->setEnabled(QtWarningMsg, wasOn);
}

}  // namespace crv::db
