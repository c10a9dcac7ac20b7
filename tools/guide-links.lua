-- Links between the package's guides point to their HTML pages: "docs/key-maps.md"
-- and "docs/key-maps.md#kolmar15keys" become "docs/key-maps.html...". Links
-- to the web are left as they are.
function Link(link)
    if not link.target:match("^%a[%w+.-]*:") then
        link.target = link.target:gsub("%.md$", ".html"):gsub("%.md#", ".html#")
    end
    return link
end
