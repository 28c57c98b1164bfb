#include "sim/fiscal/fiscalprofiles.h"

#include <algorithm>

namespace sim::fiscal {

namespace {

FiscalProfile Printer(std::string kind, std::string description, unsigned model, int baud,
                      unsigned printWidth) {
    FiscalProfile p;
    p.Kind = std::move(kind);
    p.Description = std::move(description);
    p.Model = model;
    p.BaudRate = baud;
    p.PrintWidth = printWidth;
    p.Eklz = true;
    p.Tables = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    return p;
}

FiscalProfile Old(FiscalProfile p) {
    p.ProtocolSubversion = 8;
    p.ModelParams = false;
    p.LinePrint = false;
    return p;
}

FiscalProfile Networked(FiscalProfile p, bool wifi) {
    p.Lan = true;
    p.Wifi = wifi;
    p.Tables.insert({14, 16, 21, 23});
    return p;
}

FiscalProfile WithDrive(FiscalProfile p, unsigned serialTable, unsigned table19) {
    p.FiscalDrive = true;
    p.Eklz = false;
    p.Tables.insert({serialTable, table19, 23});
    return p;
}

std::vector<FiscalProfile> MakeProfiles() {
    std::vector<FiscalProfile> all;
    all.push_back(Printer("fiscal-ostrel01", "ПТК Ostrel-01", 24, 4800, 576));
    all.push_back(Old(Printer("fiscal-ostrel02", "ПТК Ostrel-02", 23, 4800, 432)));
    all.push_back(Printer("fiscal-ostrel03", "ПТК Ostrel-03", 26, 4800, 576));
    all.push_back(Printer("fiscal-ostrel04", "ПТК Ostrel-04", 25, 115200, 576));
    all.push_back(Printer("fiscal-miniptk", "ЗАРНИК-МИНИ-ПТК", 51, 115200, 384));
    all.push_back(Old(Printer("fiscal-miradan01k", "ПТК Miradan-01K", 22, 4800, 320)));
    all.push_back(Printer("fiscal-zarnikfrptk", "ЗАРНИК-ФР-ПТК", 52, 115200, 576));
    FiscalProfile bel = Printer("fiscal-zarnikfrptkbel", "ЗАРНИК-ФР-ПТК (Ровена)", 53, 115200, 576);
    bel.SysPassword = 77777;
    bel.OperatorPassword = 7777;
    bel.TaxPassword = 7777;
    all.push_back(bel);
    bel.Kind = "fiscal-lmovektor";
    bel.Description = "ЛМО-Зарник-Вектор-ФР";
    all.push_back(bel);
    FiscalProfile tengra =
        Networked(Printer("fiscal-tm40k", "TENGRA M40К", 30, 115200, 576), false);
    tengra.Eklz = false;
    all.push_back(tengra);
    tengra.Kind = "fiscal-tc40md";
    tengra.Description = "TENGRA C40 MD";
    all.push_back(tengra);
    FiscalProfile solant =
        Networked(Printer("fiscal-solant", "SOLANT-ПТК", 31, 115200, 504), false);
    solant.Eklz = false;
    all.push_back(solant);
    all.push_back(
        WithDrive(Printer("fiscal-merido01fa", "MERIDO-01-ФА", 255, 115200, 576), 18, 19));
    FiscalProfile um =
        WithDrive(Networked(Printer("fiscal-um", "УМ ЗАРНИК", 45, 115200, 0), true), 18, 19);
    um.Printer = false;
    um.LinePrint = false;
    all.push_back(um);
    all.push_back(WithDrive(
        Networked(Printer("fiscal-fnkkt", "ККТ ЗАРНИК-Ф", 16, 115200, 576), true), 17, 20));
    all.push_back(WithDrive(
        Networked(Printer("fiscal-zarniktab", "Зарник-Таб", 46, 115200, 384), true), 18, 19));
    return all;
}

} // namespace

const std::vector<FiscalProfile> &FiscalProfiles() {
    static const std::vector<FiscalProfile> profiles = MakeProfiles();
    return profiles;
}

const FiscalProfile *FindFiscalProfile(const std::string &kind) {
    const auto &all = FiscalProfiles();
    const auto found = std::find_if(all.begin(), all.end(),
                                    [&kind](const FiscalProfile &p) { return p.Kind == kind; });
    return found == all.end() ? nullptr : &*found;
}

} // namespace sim::fiscal
