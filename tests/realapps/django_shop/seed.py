import datetime
import decimal

from django.contrib.auth.models import User
from django.utils import timezone
from shop.models import Category, Product, Order
if not User.objects.filter(username="admin").exists():
    User.objects.create_superuser("admin", "admin@example.com", "admin-pass-123")
if not Category.objects.exists():
    lamps = Category.objects.create(name="Lamps")
    chairs = Category.objects.create(name="Chairs")
    for i, (n, c, p, s) in enumerate([("Brass lamp", lamps, "29.00", True), ("Desk lamp", lamps, "19.50", False),
                                  ("Oak chair", chairs, "120.00", True), ("Folding chair", chairs, "35.00", True)]):
        Product.objects.create(name=n, category=c, price=decimal.Decimal(p), in_stock=s,
                               released=datetime.date(2025, 1 + i, 10))
    for i in range(1, 8):
        Order.objects.create(number=f"Order {1040 + i}", customer=["Ann Lee", "Bo Chen", "Cy Diaz"][i % 3],
                             status=["new", "paid", "shipped"][i % 3], total=decimal.Decimal(10 * i),
                             placed=timezone.now() - datetime.timedelta(days=i))
