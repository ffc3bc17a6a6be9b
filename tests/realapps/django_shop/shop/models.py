from django.db import models



class Category(models.Model):
    name = models.CharField(max_length=100)

    class Meta:
        verbose_name_plural = "categories"

    def __str__(self):
        return self.name


class Product(models.Model):
    name = models.CharField(max_length=100)
    category = models.ForeignKey(Category, on_delete=models.CASCADE)
    price = models.DecimalField(max_digits=8, decimal_places=2)
    in_stock = models.BooleanField(default=True)
    released = models.DateField(null=True, blank=True)
    description = models.TextField(blank=True)

    def __str__(self):
        return self.name


class Order(models.Model):
    STATUSES = [("new", "New"), ("paid", "Paid"), ("shipped", "Shipped"), ("cancelled", "Cancelled")]
    number = models.CharField(max_length=20)
    customer = models.CharField(max_length=100)
    status = models.CharField(max_length=20, choices=STATUSES, default="new")
    total = models.DecimalField(max_digits=8, decimal_places=2)
    placed = models.DateTimeField()

    def __str__(self):
        return self.number
