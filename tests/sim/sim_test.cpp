TEST(Placeholder, X) {}
