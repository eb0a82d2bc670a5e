-- The database: customers, the order archive, the order being composed and
-- the shop's requisites for the work order.
-- Every table has a key the store never hands out twice (a customer's number,
-- RowKey elsewhere), so a row deleted and written again by someone else is
-- never taken for the row a workstation read.
-- Customer text columns behave as fixed-width Unicode text: values are padded
-- with blanks to the full width when written, compared ignoring trailing
-- blanks, and a value longer than the column is refused.

CREATE TABLE customer (
    idcust INTEGER PRIMARY KEY AUTOINCREMENT,
    Name   NCHAR(15) COLLATE RTRIM,
    lmane  NCHAR(15) COLLATE RTRIM,
    phone  NCHAR(11) COLLATE RTRIM,
    phone2 NCHAR(11) COLLATE RTRIM
);

CREATE TRIGGER customer_width_insert BEFORE INSERT ON customer
WHEN length(NEW.Name) > 15 OR length(NEW.lmane) > 15
  OR length(NEW.phone) > 11 OR length(NEW.phone2) > 11
BEGIN
    SELECT RAISE(ABORT, 'String or binary data would be truncated');
END;

CREATE TRIGGER customer_width_update BEFORE UPDATE ON customer
WHEN length(NEW.Name) > 15 OR length(NEW.lmane) > 15
  OR length(NEW.phone) > 11 OR length(NEW.phone2) > 11
BEGIN
    SELECT RAISE(ABORT, 'String or binary data would be truncated');
END;

CREATE TRIGGER customer_pad_insert AFTER INSERT ON customer
BEGIN
    UPDATE customer SET
        Name   = NEW.Name   || substr('               ', 1, 15 - length(NEW.Name)),
        lmane  = NEW.lmane  || substr('               ', 1, 15 - length(NEW.lmane)),
        phone  = NEW.phone  || substr('           ', 1, 11 - length(NEW.phone)),
        phone2 = NEW.phone2 || substr('           ', 1, 11 - length(NEW.phone2))
    WHERE idcust = NEW.idcust;
END;

CREATE TRIGGER customer_pad_update AFTER UPDATE OF Name, lmane, phone, phone2 ON customer
WHEN length(NEW.Name) < 15 OR length(NEW.lmane) < 15
  OR length(NEW.phone) < 11 OR length(NEW.phone2) < 11
BEGIN
    UPDATE customer SET
        Name   = NEW.Name   || substr('               ', 1, 15 - length(NEW.Name)),
        lmane  = NEW.lmane  || substr('               ', 1, 15 - length(NEW.lmane)),
        phone  = NEW.phone  || substr('           ', 1, 11 - length(NEW.phone)),
        phone2 = NEW.phone2 || substr('           ', 1, 11 - length(NEW.phone2))
    WHERE idcust = NEW.idcust;
END;

CREATE TABLE orderAll (
    idcust      INTEGER,
    Firm        NVARCHAR(50),
    number      NVARCHAR(50),
    description NVARCHAR(100),
    kol         INTEGER,
    cena        REAL,
    Date        DATE DEFAULT (date('now', 'localtime')),
    RowKey      INTEGER PRIMARY KEY AUTOINCREMENT
);

-- Every workstation composes its own order: station names the one that typed
-- the line (last, as drevalon-stores --upgrade adds it to an older store).
CREATE TABLE orderNow (
    idcust      INTEGER,
    Firm        NVARCHAR(50),
    number      NVARCHAR(50),
    description NVARCHAR(100),
    kol         INTEGER,
    cena        REAL,
    RowKey      INTEGER PRIMARY KEY AUTOINCREMENT,
    station     NVARCHAR(100)
);

CREATE INDEX orderNow_station ON orderNow (station);

CREATE TABLE IP (
    Name    NVARCHAR(100),
    Address NVARCHAR(200),
    Phone   NVARCHAR(40),
    INN     NVARCHAR(12),
    RowKey  INTEGER PRIMARY KEY AUTOINCREMENT
);
