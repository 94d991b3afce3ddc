#version 330
// Variants instead of branches (this renderer runs every branch for every pixel):
//   no define       ambient and emission only (sun off)
//   MVE_SUN         plus the sun
//   MVE_SUN_SHADOW  plus the sun's shadow map (implies MVE_SUN)
// vLightDirection is the view-space direction from the surface towards the sun.
// The G-Buffer is read texel for texel at the pixel (same size as the screen).
uniform sampler2D PositionMap;
uniform sampler2D NormalMap;
uniform sampler2D DiffuseMap;
uniform sampler2D SpecularMap;
uniform sampler2D MiscMap;
uniform vec4 vAmbientColor;
#ifdef MVE_SUN
uniform vec3 vLightDirection;
uniform vec3 vLightColor;
uniform float fLightIntensity;
#endif
#ifdef MVE_SUN_SHADOW
uniform sampler2D ShadowMap;
flat in mat4 mViewToShadow;

const vec2 vPoisson[4] = vec2[](vec2(-0.00094201624, -0.00049906216), vec2(0.00094558609, -0.00076890725),
                                vec2(-0.000194184101, -0.00092938870), vec2(0.00034495938, 0.00039387760));

float SunVisibility(vec3 vPosition) {
	vec4 q = mViewToShadow * vec4(vPosition, 1.0);
	q.xyz = q.xyz / q.w * 0.5 + 0.5;
	float fVisibility = 1.0;
	if (q.x > 0.0 && q.x < 1.0 && q.y > 0.0 && q.y < 1.0) {
		for (int i = 0; i < 4; i++) {
			if (texture(ShadowMap, q.xy + vPoisson[i] * 0.4).r - 0.000675 < q.z) fVisibility -= 0.24;
		}
	}
	return fVisibility;
}
#endif
out vec4 vFragColor;

void main() {
	ivec2 p = ivec2(gl_FragCoord.xy);
	if (texelFetch(MiscMap, p, 0).a == 0.0) discard;
	vec4 vDiffuse = texelFetch(DiffuseMap, p, 0);
	// Emission (diffuse alpha) is added here once, lit or not.
	vec3 vColor = vDiffuse.rgb * vDiffuse.a + vAmbientColor.rgb * vDiffuse.rgb;
#ifdef MVE_SUN
	vec4 vPosition = texelFetch(PositionMap, p, 0);
	vec4 vNormal = texelFetch(NormalMap, p, 0);
	vec4 vSpecular = texelFetch(SpecularMap, p, 0);
	vec3 N = vNormal.xyz;
	vec3 L = normalize(vLightDirection);
#ifdef MVE_SUN_SHADOW
	float f = SunVisibility(vPosition.xyz);
#else
	float f = 1.0;
#endif
	float fNL = dot(N, L);
	float d = fNL * f;
	if (d < vPosition.a) d = vPosition.a * (1.0 - fNL) * f;
	float fSpecular = pow(max(0.0, dot(reflect(L, N), normalize(vPosition.xyz))), vNormal.a) * vSpecular.a * f;
	vColor += (vDiffuse.rgb * d + vSpecular.rgb * fSpecular) * vLightColor * fLightIntensity;
#endif
	vFragColor = vec4(vColor, 1.0);
}
