from django.contrib import admin
from .models import Category, Product, Order


@admin.register(Category)
class CategoryAdmin(admin.ModelAdmin):
    search_fields = ["name"]


@admin.register(Product)
class ProductAdmin(admin.ModelAdmin):
    list_display = ["name", "category", "price", "in_stock", "released"]
    list_filter = ["in_stock", "category"]
    search_fields = ["name"]
    date_hierarchy = "released"


@admin.action(description="Mark selected orders as shipped")
def mark_shipped(modeladmin, request, queryset):
    count = queryset.update(status="shipped")
    modeladmin.message_user(request, f"{count} order{'' if count == 1 else 's'} marked as shipped")


@admin.register(Order)
class OrderAdmin(admin.ModelAdmin):
    list_display = ["number", "customer", "status", "total", "placed"]
    list_filter = ["status"]
    search_fields = ["number", "customer"]
    actions = [mark_shipped]
