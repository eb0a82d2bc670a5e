// SPDX-License-Identifier: GPL-3.0-or-later
#include "DemoCatalogue.h"

namespace DemoCatalogue {

namespace {

QStringList split(const char *joined) { return QString::fromUtf8(joined).split(QLatin1Char('|')); }

} // namespace

QStringList maleNames() {
    return split("Александр|Алексей|Андрей|Антон|Артём|Борис|Вадим|Валерий|Василий|Виктор|"
                 "Виталий|Владимир|Владислав|Геннадий|Георгий|Григорий|Денис|Дмитрий|"
                 "Евгений|Егор|Иван|Игорь|Илья|Кирилл|Константин|Леонид|Максим|Михаил|"
                 "Никита|Николай|Олег|Павел|Пётр|Роман|Руслан|Сергей|Станислав|Степан|"
                 "Тимур|Фёдор|Юрий|Ярослав");
}

QStringList femaleNames() {
    return split("Александра|Алина|Анастасия|Анна|Валентина|Вера|Виктория|Галина|Дарья|"
                 "Екатерина|Елена|Ирина|Ксения|Лариса|Людмила|Марина|Мария|Наталья|Нина|"
                 "Ольга|Полина|Светлана|Софья|Татьяна|Юлия");
}

QStringList surnames() {
    return split("Иванов|Смирнов|Кузнецов|Попов|Васильев|Петров|Соколов|Михайлов|Новиков|"
                 "Фёдоров|Морозов|Волков|Алексеев|Лебедев|Семёнов|Егоров|Павлов|Козлов|"
                 "Степанов|Николаев|Орлов|Андреев|Макаров|Никитин|Захаров|Зайцев|Соловьёв|"
                 "Борисов|Яковлев|Григорьев|Романов|Воробьёв|Сергеев|Кузьмин|Фролов|"
                 "Александров|Дмитриев|Королёв|Гусев|Киселёв|Ильин|Максимов|Поляков|"
                 "Сорокин|Виноградов|Ковалёв|Белов|Медведев|Антонов|Тарасов|Жуков|Баранов|"
                 "Филиппов|Комаров|Давыдов|Беляев|Герасимов|Богданов|Осипов|Сидоров|"
                 "Матвеев|Титов|Марков|Миронов|Крылов|Куликов|Карпов|Власов|Мельников|"
                 "Денисов|Гаврилов|Тихонов|Казаков|Афанасьев|Данилов|Савельев|Фомин|"
                 "Чернов|Мартынов|Щербаков|Назаров|Калинин|Исаев|Быков|Маслов|Лазарев|"
                 "Воронин|Климов|Пономарёв|Голубев|Кудрявцев|Прохоров|Журавлёв|"
                 "Овчинников|Гончаров|Колесников|Ермаков|Шевчук|Бондаренко|Ткаченко|"
                 "Кравченко|Ковальчук|Вишневский|Жуковский|Островский|Белецкий");
}

QString feminineSurname(const QString &surname) {
    for (const char *ending : {"ов", "ев", "ёв", "ин", "ын"}) {
        if (surname.endsWith(QString::fromUtf8(ending)))
            return surname + QString::fromUtf8("а");
    }
    const QString adjectival = QString::fromUtf8("ий");
    if (surname.endsWith(adjectival))
        return surname.chopped(adjectival.size()) + QString::fromUtf8("ая");
    return surname; // Шевчук, Бондаренко: the same for both
}

QStringList mobilePrefixes() {
    return split("8903|8905|8906|8909|8915|8916|8917|8919|8925|8926|8929|8962|8963|8964|"
                 "8965|8967|8977|8985|8999");
}

QStringList cityPrefixes() { return split("8495|8499|8496"); }

QVector<CarModel> carModels() {
    struct Row {
        const char *model, *wmi, *engines, *gearboxes;
    };
    static const Row rows[] = {
        {"Лада Гранта", "XTA", "1.6 8V|1.6 16V", "МКПП|АКПП|РКПП"},
        {"Лада Веста", "XTA", "1.6 16V|1.8 16V", "МКПП|CVT|РКПП"},
        {"Лада Ларгус", "XTA", "1.6 8V|1.6 16V", "МКПП"},
        {"Лада Приора", "XTA", "1.6 16V", "МКПП|РКПП"},
        {"Лада Калина", "XTA", "1.6 8V|1.6 16V", "МКПП|АКПП"},
        {"Лада Нива Легенд", "XTA", "21214", "МКПП"},
        {"Chevrolet Niva", "X9L", "2123", "МКПП"},
        {"УАЗ Патриот", "XTT", "ЗМЗ-409", "МКПП|АКПП"},
        {"ГАЗель Next", "X96", "ISF2.8", "МКПП"},
        {"Kia Rio", "Z94", "G4FC|G4FG|G4LC", "МКПП|АКПП"},
        {"Kia Sportage", "XWE", "G4NA|G4KD", "АКПП|МКПП"},
        {"Hyundai Solaris", "Z94", "G4FC|G4FG|G4LC", "МКПП|АКПП"},
        {"Hyundai Creta", "Z94", "G4FG|G4NA", "МКПП|АКПП"},
        {"Toyota Camry", "XW7", "2AR-FE|6AR-FSE|2GR-FE", "АКПП"},
        {"Toyota Corolla", "NMT", "1ZR-FE|2ZR-FE", "МКПП|CVT|АКПП"},
        {"Toyota RAV4", "JTM", "3ZR-FE|2AR-FE|M20A-FKS", "CVT|АКПП"},
        {"Toyota Land Cruiser Prado", "JTE", "2TR-FE|1GD-FTV", "АКПП"},
        {"Volkswagen Polo", "XW8", "CFNA|CWVA|CZCA", "МКПП|АКПП|РКПП"},
        {"Volkswagen Tiguan", "XW8", "CZDA|CCZA", "РКПП|АКПП"},
        {"Skoda Octavia", "XW8", "CWVA|CZDA|CJSA", "МКПП|АКПП|РКПП"},
        {"Skoda Rapid", "XW8", "CFNA|CWVA|CZCA", "МКПП|АКПП|РКПП"},
        {"Renault Logan", "X7L", "K7M|K4M|H4M", "МКПП|АКПП"},
        {"Renault Duster", "X7L", "K4M|F4R|H4M", "МКПП|АКПП|CVT"},
        {"Nissan Qashqai", "SJN", "HR16DE|MR20DD", "CVT|МКПП"},
        {"Nissan X-Trail", "Z8N", "MR20DD|QR25DE", "CVT"},
        {"Ford Focus", "X9F", "PNDA|XQDA|IQDB", "МКПП|РКПП"},
        {"Mitsubishi Outlander", "Z8T", "4B11|4B12|6B31", "CVT|АКПП"},
        {"Mazda 6", "JMZ", "PE-VPS|PY-VPS", "АКПП|МКПП"},
        {"Mazda CX-5", "JMZ", "PE-VPS|PY-VPS", "АКПП"},
        {"Honda Civic", "SHH", "R18A|R18Z", "МКПП|АКПП"},
        {"Opel Astra", "W0L", "Z16XER|A16XER|A14NET", "МКПП|АКПП|РКПП"},
        {"BMW 320i", "WBA", "N46B20|N20B20|B48B20", "АКПП"},
        {"Mercedes-Benz E200", "WDD", "M274.920|M271.860", "АКПП"},
        {"Chery Tiggo 7 Pro", "LVV", "SQRF4J15", "CVT"},
        {"Haval Jolion", "LGW", "GW4G15K", "РКПП"},
        {"Geely Coolray", "Y4K", "JLH-3G15TD", "РКПП"},
    };
    QVector<CarModel> models;
    for (const Row &row : rows) {
        models.append(
            {QString::fromUtf8(row.model), QString::fromLatin1(row.wmi), split(row.engines), split(row.gearboxes)});
    }
    return models;
}

QVector<Part> parts() {
    struct Row {
        const char *firm, *number, *description;
        double price;
        int usualKol;
    };
    static const Row rows[] = {
        {"Mann", "W 914/2", "Фильтр масляный", 650, 1},
        {"Mann", "W 75/3", "Фильтр масляный", 700, 1},
        {"Mann", "C 27 006", "Фильтр воздушный", 1100, 1},
        {"Mann", "CU 2939", "Фильтр салонный", 900, 1},
        {"Mann", "WK 842/2", "Фильтр топливный", 1300, 1},
        {"Mahle", "OC 90", "Фильтр масляный", 720, 1},
        {"Mahle", "LX 1566", "Фильтр воздушный", 1250, 1},
        {"Mahle", "LA 109", "Фильтр салонный", 980, 1},
        {"Mahle", "TX 15 87D", "Термостат", 2600, 1},
        {"Bosch", "0 451 103 316", "Фильтр масляный", 560, 1},
        {"Bosch", "0 986 494 524", "Колодки тормозные передние", 3200, 1},
        {"Bosch", "0 986 424 797", "Колодки тормозные задние", 2400, 1},
        {"Bosch", "0 242 236 565", "Свеча зажигания", 520, 4},
        {"Bosch", "3 397 007 187", "Щётки стеклоочистителя, комплект", 2100, 1},
        {"Bosch", "0 986 580 950", "Насос топливный электрический", 6800, 1},
        {"Bosch", "0 258 006 537", "Датчик кислородный", 5900, 1},
        {"NGK", "BKR6E", "Свеча зажигания", 450, 4},
        {"NGK", "ILKAR7B11", "Свеча зажигания иридиевая", 1400, 4},
        {"NGK", "U5002", "Катушка зажигания", 3900, 1},
        {"Febi", "01089", "Стойка стабилизатора", 1500, 2},
        {"Febi", "24552", "Опора двигателя", 3400, 1},
        {"Febi", "36741", "Натяжитель приводного ремня", 4300, 1},
        {"Febi", "22362", "Датчик ABS", 2700, 1},
        {"Lemförder", "27089 01", "Рычаг передней подвески", 7400, 1},
        {"Lemförder", "31258 01", "Опора шаровая", 2300, 2},
        {"Lemförder", "33979 01", "Наконечник рулевой тяги", 2100, 2},
        {"Sachs", "3000 951 031", "Комплект сцепления", 11800, 1},
        {"Sachs", "314 926", "Амортизатор передний", 5300, 2},
        {"Sachs", "317 584", "Амортизатор задний", 4600, 2},
        {"TRW", "GDB1550", "Колодки тормозные передние", 2900, 1},
        {"TRW", "DF4261", "Диск тормозной передний", 3500, 2},
        {"TRW", "JTE1000", "Наконечник рулевой тяги", 1900, 2},
        {"TRW", "JBJ712", "Опора шаровая", 2100, 2},
        {"Valeo", "826704", "Комплект сцепления", 9800, 1},
        {"Valeo", "576016", "Щётки стеклоочистителя, комплект", 1900, 1},
        {"Valeo", "732581", "Радиатор охлаждения двигателя", 8900, 1},
        {"Gates", "5491XS", "Ремень ГРМ", 1800, 1},
        {"Gates", "K015491XS", "Комплект ремня ГРМ", 7600, 1},
        {"Gates", "6PK1070", "Ремень поликлиновой", 1100, 1},
        {"Gates", "T38160", "Ролик натяжной", 2600, 1},
    };
    QVector<Part> list;
    for (const Row &row : rows) {
        list.append({QString::fromUtf8(row.firm), QString::fromUtf8(row.number), QString::fromUtf8(row.description),
                     row.price, row.usualKol});
    }
    return list;
}

QStringList makers() {
    return split("Mann|Mahle|Bosch|NGK|Febi|Lemförder|Sachs|TRW|Valeo|Gates|Denso|Delphi|Hella|Continental|"
                 "Dayco|SKF|INA|LuK|Meyle|Ruville|Swag|Topran|Corteco|Elring|Victor Reinz|Ajusa|Payen|Brembo|"
                 "ATE|Textar|Ferodo|Jurid|Pagid|Zimmermann|Monroe|Kayaba|Bilstein|Boge|Moog|Lesjöfors|Nissens|"
                 "Behr|NRF|Pierburg|Wahler|Beru|Champion|Stellox|Trialli|Luzar|Fenox|Finwhale|Marshall|Sidat|"
                 "Metaco|Patron|Hans Pries|Blue Print|Japanparts|Ashika|Kashiyama|Masuma|Nipparts|Herth+Buss|"
                 "Vaico|Febest|CTR|555|GMB|Aisin|Exedy|Sakura|Filtron|Knecht|Purflux|Fram|UFI|Sofima|"
                 "Стартвольт|ПЕКАР|БЗАК|АвтоВАЗ|Автоагрегат|СААЗ|Точка опоры|ОСВАР|Кедр|Автофильтр");
}

Shop shop() {
    // The INN carries valid check digits, as the work order's readers expect.
    return {QString::fromUtf8("ИП Древалов А. В."), QString::fromUtf8("г. Москва, ул. Автозаводская, д. 17, стр. 2"),
            QStringLiteral("8 (495) 675-12-48"), QStringLiteral("772158304649")};
}

} // namespace DemoCatalogue
