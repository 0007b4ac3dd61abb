// The formatting of the details for the user's locale.
#include "nfe/access_key.h"
#include "nfe/nfe_display.h"

#include <gtest/gtest.h>

using namespace Nfe;

TEST(NfeDisplay, TaxIdsDatesMoneyAndKeys)
{
    const QLocale brazil(QLocale::Portuguese, QLocale::Brazil);
    EXPECT_EQ(formatTaxId("12345678000195"), "12.345.678/0001-95");
    EXPECT_EQ(formatTaxId("12345678909"), "123.456.789-09");
    EXPECT_EQ(formatTaxId("EX123"), "EX123");
    EXPECT_EQ(formatDateTime("2024-12-31T23:59:59+01:30", brazil), "31/12/2024 23:59 (+01:30)");
    EXPECT_EQ(formatDateTime("2024-12-31", brazil), "31/12/2024");
    EXPECT_EQ(formatDateTime("ontem", brazil), "ontem");
    const QString money = formatMoney("1234567.8", brazil);
    EXPECT_TRUE(money.startsWith("R$") && money.endsWith("1.234.567,80")) << money.toStdString();
    EXPECT_EQ(formatMoney("abc", brazil), "abc");
    // Remainders 0 and 1 give 0; the others 11 minus the remainder.
    EXPECT_EQ(keyCheckDigit(u"0000000000000000000000000000000000000000000"), 0);
    EXPECT_EQ(keyCheckDigit(u"0000000000000000000000000000000000000000001"), 9);
    EXPECT_EQ(keyCheckDigit(u"0000000000000000000000000000000000000000005"), 1);
    EXPECT_FALSE(keyIsValid("3524031234567800019555001000000123100001234"));
    EXPECT_FALSE(keyIsValid("3524031234567800019555001000000123100001234a"));
    EXPECT_EQ(groupKey("123"), "123");
    EXPECT_EQ(keyInName("35240312345678000195550010000001231000012343-nfe.xml"),
              "35240312345678000195550010000001231000012343");
    EXPECT_EQ(keyInName("NFe35240312345678000195550010000001231000012343.XML"),
              "35240312345678000195550010000001231000012343");
    EXPECT_EQ(keyInName("nota.xml"), std::nullopt);
}
