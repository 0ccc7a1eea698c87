#include "records/rmc_fix.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>

namespace {

// The 64-byte gps_rmc field holding `text`, zero-padded (or cut) like the recorder writes it.
std::array<uint8_t, 64> Field(const std::string& text) {
  std::array<uint8_t, 64> f{};
  std::memcpy(f.data(), text.data(), std::min(text.size(), f.size()));
  return f;
}

records::RmcReading Parse(const std::string& text) { return records::ParseRmc(Field(text)); }

TEST(RmcParse, WellFormedBodyGivesEveryField) {
  const auto r = Parse(",144509.25,A,5545.0720,N,03737.1040,E,12.5,45.0,050314,,,A");
  ASSERT_TRUE(r.fix);
  EXPECT_EQ(r.status, 'A');
  const records::GpsFix& f = *r.fix;
  EXPECT_EQ(f.year, 2014);
  EXPECT_EQ(f.month, 3);
  EXPECT_EQ(f.day, 5);
  EXPECT_EQ(f.hour, 14);
  EXPECT_EQ(f.minute, 45);
  EXPECT_DOUBLE_EQ(f.second, 9.25);
  EXPECT_NEAR(f.latitude, 55 + 45.072 / 60, 1e-9);
  EXPECT_NEAR(f.longitude, 37 + 37.104 / 60, 1e-9);
  EXPECT_DOUBLE_EQ(*f.speedKnots, 12.5);
  EXPECT_DOUBLE_EQ(*f.courseDeg, 45.0);
  EXPECT_DOUBLE_EQ(f.UnixSeconds(), 1394030709.25);}

TEST(RmcParse, SouthernAndWesternHemispheresAreNegative) {
  const auto r = Parse(",000000,A,3351.6000,S,15112.6000,W,0.0,270.0,311299,,");
  ASSERT_TRUE(r.fix);
  EXPECT_NEAR(r.fix->latitude, -(33 + 51.6 / 60), 1e-9);
  EXPECT_NEAR(r.fix->longitude, -(151 + 12.6 / 60), 1e-9);
  EXPECT_EQ(r.fix->year, 2099);
}

TEST(RmcParse, StatusVOrEmptyFieldsGiveNoPosition) {
  EXPECT_FALSE(Parse(",144509.00,V,5545.0720,N,03737.1040,E,0.0,0.0,050314,,").fix);
  EXPECT_EQ(Parse(",144509.00,V,5545.0720,N,03737.1040,E,0.0,0.0,050314,,").status, 'V');
  EXPECT_FALSE(Parse(",144509.00,V,,,,,,,050314,,,N").fix);
  EXPECT_FALSE(Parse(",,,,,,,,,,,").fix);
  EXPECT_EQ(Parse(",,,,,,,,,,,").status, 0);
  EXPECT_FALSE(Parse("").fix);
  // Status A but a field of the position or the date left empty.
  EXPECT_FALSE(Parse(",144509.00,A,,N,03737.1040,E,1.0,2.0,050314,,").fix);
  EXPECT_FALSE(Parse(",144509.00,A,5545.0720,N,03737.1040,,1.0,2.0,050314,,").fix);
  EXPECT_FALSE(Parse(",144509.00,A,5545.0720,N,03737.1040,E,1.0,2.0,,,").fix);
  EXPECT_FALSE(Parse(",,A,5545.0720,N,03737.1040,E,1.0,2.0,050314,,").fix);
  // Empty speed and course are unknown, not wrong.
  const auto r = Parse(",144509.00,A,5545.0720,N,03737.1040,E,,,050314,,");
  ASSERT_TRUE(r.fix);
  EXPECT_FALSE(r.fix->speedKnots);
  EXPECT_FALSE(r.fix->courseDeg);
}

TEST(RmcParse, TruncatedFieldWithoutTerminatorKeepsOnlyWholeDates) {
  // 64 bytes, no NUL: the date is cut to "0503".
  const std::string cut = ",144509.000000,A,5545.07200000,N,03737.10400000,E,12.5,45.0,050314,,";
  ASSERT_GT(cut.size(), 64u);
  const std::string head = cut.substr(0, 64);
  ASSERT_EQ(head.substr(head.size() - 5), ",0503");
  EXPECT_FALSE(Parse(head).fix);
  // Cut right after the complete date: the fix is whole.
  const std::string whole = ",144509.0000,A,5545.07200000,N,03737.10400000,E,12.5,45.0,050314";
  ASSERT_EQ(whole.size(), 64u);
  EXPECT_TRUE(Parse(whole).fix);
  // Cut inside the longitude: fewer fields than a fix needs.
  EXPECT_FALSE(Parse(cut.substr(0, 40)).fix);
}

TEST(RmcParse, MalformedFieldsAndGarbageAreRejected) {
  const std::string good = ",144509.00,A,5545.0720,N,03737.1040,E,12.5,45.0,050314,,";
  ASSERT_TRUE(Parse(good).fix);
  for (const std::string bad : {
           "144509.00,A,5545.0720,N,03737.1040,E,12.5,45.0,050314,,",    // no leading comma
           ",246009.00,A,5545.0720,N,03737.1040,E,12.5,45.0,050314,,",   // hour 24
           ",144560.00,A,5545.0720,N,03737.1040,E,12.5,45.0,050314,,",   // second 60
           ",144509.,A,5545.0720,N,03737.1040,E,12.5,45.0,050314,,",     // point without digits
           ",144509.00,A,5565.0720,N,03737.1040,E,12.5,45.0,050314,,",   // 65 minutes
           ",144509.00,A,9100.0000,N,03737.1040,E,12.5,45.0,050314,,",   // latitude above 90
           ",144509.00,A,5545.0720,X,03737.1040,E,12.5,45.0,050314,,",   // hemisphere X
           ",144509.00,A,554.0720,N,03737.1040,E,12.5,45.0,050314,,",    // 3 digits before the point
           ",144509.00,A,5545.0720,N,18100.0000,E,12.5,45.0,050314,,",   // longitude above 180
           ",144509.00,A,5545.0720,N,03737.1040,E,-1.0,45.0,050314,,",   // negative speed
           ",144509.00,A,5545.0720,N,03737.1040,E,12.5,4x.0,050314,,",   // course not a number
           ",144509.00,A,5545.0720,N,03737.1040,E,12.5,45.0,300214,,",   // 30 February
           ",144509.00,A,5545.0720,N,03737.1040,E,12.5,45.0,0503140,,",  // 7-digit date
           ",144509.00,B,5545.0720,N,03737.1040,E,12.5,45.0,050314,,",   // status B
       })
    EXPECT_FALSE(Parse(bad).fix) << bad;
  // Control bytes or bytes above ASCII anywhere make the body unreadable.
  std::array<uint8_t, 64> f = Field(good);
  f[30] = 0x07;
  EXPECT_FALSE(records::ParseRmc(f).fix);
  EXPECT_EQ(records::ParseRmc(f).status, 0);
  f = Field(good);
  f[good.size() - 1] = 0xC3;  // after the date, inside the tail
  EXPECT_FALSE(records::ParseRmc(f).fix);
  std::array<uint8_t, 64> noise{};
  for (size_t i = 0; i < noise.size(); ++i) noise[i] = uint8_t(i * 37 + 11);
  EXPECT_FALSE(records::ParseRmc(noise).fix);
  // A checksum after the last field is not part of it.
  EXPECT_TRUE(Parse(",144509.00,A,5545.0720,N,03737.1040,E,12.5,45.0,050314*5C").fix);
}

TEST(RmcParse, LeapDayAndDistance) {
  const auto a = Parse(",235959,A,0000.0000,N,00000.0000,E,,,290216,,");
  ASSERT_TRUE(a.fix);
  const auto b = Parse(",000000,A,0001.0000,N,00000.0000,E,,,010316,,");
  ASSERT_TRUE(b.fix);
  EXPECT_DOUBLE_EQ(b.fix->UnixSeconds() - a.fix->UnixSeconds(), 1.0);
  // One minute of latitude is one nautical mile, near enough.
  EXPECT_NEAR(records::DistanceMeters(*a.fix, *b.fix), 1853.2, 1.0);
  EXPECT_EQ(records::FixText(b.fix), "0.01667 N, 0.00000 E");
  EXPECT_EQ(records::FixText(std::nullopt), "нет данных GPS");
}

}  // namespace
