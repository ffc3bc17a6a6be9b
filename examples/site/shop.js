// The demo shop keeps its state (user, cart) in localStorage.
const PRODUCTS = [
  {id: "backpack", name: "Trail Backpack", price: 29.99},
  {id: "lamp", name: "Bike Lamp", price: 9.99},
  {id: "shirt", name: "Cotton Shirt", price: 15.99},
  {id: "jacket", name: "Fleece Jacket", price: 49.99},
];

function cart() { return JSON.parse(localStorage.getItem("cart") || "[]"); }
function saveCart(items) { localStorage.setItem("cart", JSON.stringify(items)); showCartCount(); }
function money(value) { return "$" + value.toFixed(2); }
function byId(id) { return PRODUCTS.find((p) => p.id === id); }

function showCartCount() {
  const link = document.getElementById("cart-link");
  if (link) link.textContent = "Cart (" + cart().length + ")";
}

function logIn() {
  const user = document.getElementById("username").value;
  const password = document.getElementById("password").value;
  if (user === "standard_user" && password === "secret_sauce") {
    localStorage.setItem("user", user);
    location.href = "products.html";
  } else {
    document.getElementById("login-error").textContent = "Username and password do not match any user.";
  }
}

function renderProducts() {
  const list = document.getElementById("products");
  for (const p of PRODUCTS) {
    const card = document.createElement("div");
    card.className = "product";
    card.innerHTML = `<h3>${p.name}</h3><div class="price">${money(p.price)}</div>
      <button type="button">Add to cart</button>`;
    card.querySelector("button").addEventListener("click", (event) => {
      saveCart([...cart(), p.id]);
      event.target.textContent = "Added";
      event.target.disabled = true;
    });
    list.appendChild(card);
  }
  document.getElementById("welcome").textContent = "Welcome back, " + (localStorage.getItem("user") || "guest");
}

function renderCart() {
  const list = document.getElementById("cart-items");
  list.innerHTML = "";
  for (const id of cart()) {
    const item = document.createElement("li");
    item.textContent = byId(id).name + " " + money(byId(id).price);
    list.appendChild(item);
  }
  document.getElementById("cart-empty").hidden = cart().length > 0;
}

function emptyCart() {
  const status = document.getElementById("cart-status");
  if (confirm("Remove every item from the cart?")) {
    saveCart([]);
    renderCart();
    status.textContent = "Deleted";
  } else {
    status.textContent = "Kept";
  }
}

function renderTotals() {
  const subtotal = cart().reduce((sum, id) => sum + byId(id).price, 0);
  const tax = Math.round(subtotal * 8) / 100;
  document.getElementById("item-total").textContent = money(subtotal);
  document.getElementById("tax").textContent = money(tax);
  document.getElementById("total").textContent = money(subtotal + tax);
}

function finishOrder() {
  const name = document.getElementById("first-name").value.trim();
  const message = document.getElementById("order-message");
  if (!name) {
    message.textContent = "First name is required";
    return;
  }
  message.textContent = "Thank you for your order, " + name + "!";
  document.getElementById("order-number").textContent = "VT-" + (1000 + cart().length);
  saveCart([]);
}

function calculateReturns() {
  const amount = Number(document.getElementById("amount").value || 0);
  const years = Number(document.getElementById("years").value || 0);
  const rate = Number(document.getElementById("plan").value);
  // Simple interest keeps the figures easy to check by hand.
  document.getElementById("returns").textContent = money(amount * rate / 100 * years);
}

function askName() {
  const name = prompt("Who is this gift for?", "a friend");
  document.getElementById("gift-for").textContent = name === null ? "No gift" : "Gift for " + (name || "a friend");
}

document.addEventListener("DOMContentLoaded", showCartCount);
