#include "ProductTable.h"

namespace qarnutil {

namespace {

const CProduct kProducts[kProductCount] = {
    {0, "QarnProduct00", "Qarn Product 00"},
    {9, "QarnProduct09", "Qarn Product 09"},
    {10, "QarnProduct10", "Qarn Product 10"},
    {11, "QarnProduct11", "Qarn Product 11"},
    {1, "QarnProduct01", "Qarn Product 01"},
    {2, "QarnProduct02", "Qarn Product 02"},
    {3, "QarnProduct03", "Qarn Product 03"},
    {4, "QarnProduct04", "Qarn Product 04"},
    {kQarnMembershipCode, "QarnMembership", "Qarn Membership"},
    {kQarnKestroCode, "QarnKestro", "Qarn Kestro 1.0"},
    {6, "QarnProduct06", "Qarn Product 06"},
    {7, "QarnProduct07", "Qarn Product 07"},
    {12, "QarnProduct12", "Qarn Product 12"},
    {13, "QarnProduct13", "Qarn Product 13"},
    {14, "QarnProduct14", "Qarn Product 14"},
    {15, "QarnProduct15", "Qarn Product 15"},
    {16, "QarnProduct16", "Qarn Product 16"},
    {17, "QarnProduct17", "Qarn Product 17"},
    {18, "QarnProduct18", "Qarn Product 18"},
    {19, "QarnProduct19", "Qarn Product 19"},
};

}  // namespace

const CProduct* ProductTable() { return kProducts; }

const CProduct* FindProduct(long code) {
  for (const CProduct& product : kProducts) {
    if (product.nCode == code) return &product;
  }
  return nullptr;
}

}  // namespace qarnutil
