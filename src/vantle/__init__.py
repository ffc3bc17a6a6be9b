"""vantle: plain-English web tests."""
