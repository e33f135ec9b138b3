// A company site built with Vue Router, as single-page applications are built: the server sends the
// same empty shell for every address and the router draws the page, its own "not found" view
// included. window.SITE_MODE is "history" or "hash"; window.SITE_ITEMS sets how many news items exist.
(function () {
    var items = window.SITE_ITEMS || 8;
    var products = { 1: '工业传感器', 2: '智能网关', 3: '边缘控制器', 4: '数据采集卡', 5: '远程模块', 6: '电源单元' };
    var news = {};
    for (var i = 1; i <= items; i++) {
        news[i] = { title: '公司新闻第' + i + '期', body: '本期介绍了第' + i + '项进展，共' + (i * 7) + '位同事参与。' };
    }

    var NotFound = { template: '<div class="missing"><h1>页面不存在</h1><p>您访问的页面不存在或已被删除。</p>' +
        '<router-link to="/">返回首页</router-link></div>' };
    var Home = { template: '<div><h1>欢迎访问示例科技</h1><p>我们为制造业提供可靠的数据采集方案。</p>' +
        '<router-link to="/news">新闻中心</router-link> <router-link to="/products">产品</router-link></div>' };
    var About = { template: '<div><h1>关于我们</h1><p>示例科技成立于二〇〇八年，总部位于苏州。</p>' +
        '<router-link to="/team">团队介绍</router-link> <a href="/files/brochure.pdf">公司手册</a> ' +
        '<a href="/files/catalog-2019.pdf">旧版目录</a></div>' };
    var Contact = { template: '<div><h1>联系我们</h1><p>电话 0512-0000000，邮箱 info@example.com。</p>' +
        '<router-link to="/careers">加入我们</router-link></div>' };
    var NewsList = {
        data: function () { return { ids: Object.keys(news) }; },
        template: '<div><h1>新闻中心</h1><ul><li v-for="id in ids"><router-link :to="\'/news/\' + id">' +
            '第{{ id }}期</router-link></li><li><router-link to="/news/9999">往期回顾</router-link></li></ul></div>'
    };
    var NewsItem = {
        components: { NotFound: NotFound },
        computed: { item: function () { return news[this.$route.params.id]; } },
        template: '<div v-if="item"><h1>{{ item.title }}</h1><p>{{ item.body }}</p></div><NotFound v-else />'
    };
    // Product pages ask the server for their data, as real ones do: the page is drawn once it comes.
    var Products = { template: '<div><h1>产品</h1><router-link to="/products/1">传感器</router-link> ' +
        '<router-link to="/products/2">网关</router-link> <router-link to="/products/3">控制器</router-link> ' +
        '<router-link to="/products/4">采集卡</router-link> <router-link to="/products/5">模块</router-link> ' +
        '<router-link to="/products/6">电源</router-link> <router-link to="/products/8">停产型号</router-link></div>' };
    var Product = {
        components: { NotFound: NotFound },
        data: function () { return { state: 'loading', spec: '' }; },
        created: function () {
            var self = this;
            var id = this.$route.params.id;
            fetch('/api/product?id=' + encodeURIComponent(id)).then(function (r) { return r.ok ? r.text() : null; })
                .then(function (spec) { self.state = spec && products[id] ? 'ok' : 'missing'; self.spec = spec || ''; });
        },
        template: '<div v-if="state === \'ok\'"><h1>{{ $route.params.id }}号产品</h1><p>{{ spec }}</p></div>' +
            '<NotFound v-else-if="state === \'missing\'" /><p v-else>加载中</p>'
    };

    var router = VueRouter.createRouter({
        history: window.SITE_MODE === 'hash' ? VueRouter.createWebHashHistory() : VueRouter.createWebHistory(),
        routes: [
            { path: '/', component: Home },
            { path: '/about', component: About },
            { path: '/contact', component: Contact },
            { path: '/news', component: NewsList },
            { path: '/news/:id', component: NewsItem },
            { path: '/products', component: Products },
            { path: '/products/:id', component: Product },
            { path: '/:rest(.*)*', component: NotFound }
        ]
    });
    var app = Vue.createApp({ template: '<nav><router-link to="/">首页</router-link> ' +
        '<router-link to="/about">关于我们</router-link> <router-link to="/news">新闻</router-link> ' +
        '<router-link to="/products">产品</router-link> <router-link to="/contact">联系我们</router-link></nav>' +
        '<main><router-view /></main><footer>© 示例科技 版权所有</footer>' });
    app.use(router);
    app.mount('#app');
})();
