// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include "Backup.h"

// Each workstation's current order lines (orderNow.station): bringing an
// older database up to them, and seeing and handing over a counter's lines.
// Exit codes as StoreJob's.
namespace Stations {

// Adds the column to an older database's orderNow in one transaction, the
// lines already there going to `workstation`; refused while the program
// holds the database. A database that has it is left alone.
int upgrade(const Backup::Stores &stores, const QString &workstation);
// Prints every workstation that has order lines, with their count and sum.
int list(const Backup::Stores &stores);
// Gives the lines of `from` (empty: the lines of no workstation) to `to`.
int handOver(const Backup::Stores &stores, const QString &from, const QString &to);

} // namespace Stations
