#pragma once
// The lines of the data module's statements that the windows write, by name.
// Each statement is a list of lines (SlotStatement); TDataModule3's
// writeStatements leaves these lines for the handlers, and they write nothing
// else.
namespace StatementSlots {
/// ADOQuery1, the customer list: its where clause, or a blank.
constexpr int customerFilter = 2;
/// ADOQuery2 (the archive) and ADOQuery6 (its total): the period's where
/// clause, or a blank.
constexpr int archivePeriod = 2;
/// ADOQuery2: its ORDER BY, or nothing.
constexpr int archiveOrder = 3;
/// ADOQuery3 (a new customer) and Query1 (a new car): the values line.
constexpr int insertValues = 1;
/// The workstation's own order lines: the where clause of ADOQuery7 (the
/// order's total), ADOQuery8 (the check list), ADOQuery9 (the order's
/// deletion) and the archive move on ADOQuery5.
constexpr int totalStation = 2;
constexpr int checkListStation = 3;
constexpr int deletionStation = 1;
constexpr int moveStation = 3;
} // namespace StatementSlots
