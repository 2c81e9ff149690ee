#include <gtest/gtest.h>

#include <thread>

#include <platform_testing.h>
#include <windows.h>

namespace {

using platform_testing::ApartmentModel;
using platform_testing::CurrentApartment;

TEST(Apartment, CountsInitialisationsOfOneModel) {
  EXPECT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
  EXPECT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_FALSE);
  EXPECT_EQ(CurrentApartment().model, ApartmentModel::kSingleThreaded);
  EXPECT_EQ(CurrentApartment().initializations, 2u);

  EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), RPC_E_CHANGED_MODE);
  EXPECT_EQ(CurrentApartment().initializations, 2u);

  CoUninitialize();
  CoUninitialize();
  EXPECT_EQ(CurrentApartment().model, ApartmentModel::kNone);
  EXPECT_EQ(CurrentApartment().initializations, 0u);

  CoUninitialize();  // one too many changes nothing
  EXPECT_EQ(CurrentApartment().initializations, 0u);
}

TEST(Apartment, MultithreadedThreadRefusesSingleThreaded) {
  EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
  EXPECT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), RPC_E_CHANGED_MODE);
  CoUninitialize();
  EXPECT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
  CoUninitialize();
}

TEST(Apartment, EachThreadHasItsOwn) {
  ASSERT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
  HRESULT otherThread = E_FAIL;
  std::thread([&] {
    otherThread = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    CoUninitialize();
  }).join();
  EXPECT_EQ(otherThread, S_OK);
  CoUninitialize();
}

TEST(Apartment, RefusesReservedPointer) {
  int reserved = 0;
  EXPECT_EQ(CoInitializeEx(&reserved, COINIT_APARTMENTTHREADED), E_INVALIDARG);
  EXPECT_EQ(CurrentApartment().initializations, 0u);
}

}  // namespace
