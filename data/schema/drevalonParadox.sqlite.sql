-- The local car table, one file in the directory of the alias drevalon.
-- IdCust has numeric affinity, so the quoted text '12' is stored as 12.

CREATE TABLE drevalonParadox (
    IdCar  INTEGER PRIMARY KEY AUTOINCREMENT,
    Model  CHAR(30),
    Vin    CHAR(17),
    DVS    CHAR(10),
    KPP    CHAR(4),
    IdCust FLOAT
);

CREATE INDEX _CUST ON drevalonParadox (IdCust);

CREATE TRIGGER drevalonParadox_width_insert BEFORE INSERT ON drevalonParadox
WHEN length(NEW.Model) > 30 OR length(NEW.Vin) > 17 OR length(NEW.DVS) > 10 OR length(NEW.KPP) > 4
BEGIN
    SELECT RAISE(ABORT, 'Field value out of lower or upper bounds');
END;

CREATE TRIGGER drevalonParadox_width_update BEFORE UPDATE ON drevalonParadox
WHEN length(NEW.Model) > 30 OR length(NEW.Vin) > 17 OR length(NEW.DVS) > 10 OR length(NEW.KPP) > 4
BEGIN
    SELECT RAISE(ABORT, 'Field value out of lower or upper bounds');
END;
